#include "platform/Device.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <set>

#include "platform/HandleTable.h"

namespace platform {

DeviceRequest::DeviceRequest(std::uint32_t controlCode, std::span<const std::uint8_t> input,
                             EventHandle event)
    : m_controlCode(controlCode), m_input(input.begin(), input.end()), m_event(event) {}

bool DeviceRequest::Complete(std::uint32_t error, std::span<const std::uint8_t> output) {
    {
        std::lock_guard lock(m_mutex);
        if (m_completed) return false;
        m_completed = true;
        m_error = error;
        if (output.empty()) {
            m_output = m_input;
        } else {
            m_output.assign(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(
                                                                 std::min(output.size(), m_input.size())));
        }
    }
    // Outside the lock: the event has a lock of its own. A caller that closed
    // its event after a cancel gets a refused handle here, nothing worse.
    if (m_event) SetEvent(m_event);
    return true;
}

bool DeviceRequest::IsCompleted() const {
    std::lock_guard lock(m_mutex);
    return m_completed;
}

std::uint32_t DeviceRequest::TakeResult(std::span<std::uint8_t> block) const {
    std::lock_guard lock(m_mutex);
    if (!m_completed) return kErrorIoIncomplete;
    std::copy_n(m_output.begin(), std::min(block.size(), m_output.size()), block.begin());
    return m_error;
}

namespace {

// One open handle on a device.
struct DeviceFile {
    std::uint64_t id = 0;
    std::shared_ptr<DeviceDriver> driver;
    std::mutex mutex;
    bool closed = false;                                   // guarded by mutex
    std::vector<std::shared_ptr<DeviceRequest>> pending;  // guarded by mutex
};

std::mutex g_mutex;
std::map<std::string, std::shared_ptr<DeviceDriver>, std::less<>> g_drivers;  // guarded by g_mutex
HandleTable<DeviceTag, DeviceFile> g_files;                                // guarded by g_mutex
std::uint64_t g_nextFileId = 0;                                            // guarded by g_mutex
std::set<std::string, std::less<>> g_modulesTried;                         // guarded by g_mutex

std::map<std::string, std::string, std::less<>> g_modules;  // device -> its driver module; guarded by g_mutex

std::filesystem::path ModuleDirectory() {
    if (const char* dir = std::getenv("MARLOTRC_DRIVER_DIR"); dir && *dir) return dir;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OpenDevice), &info) && info.dli_fname)
        return std::filesystem::path(info.dli_fname).parent_path();
    return {};
}

// Loads the driver module for a device name once per process and lets its
// entry point register the driver. Runs without the channel's lock held,
// since the entry point registers through this same channel.
void LoadDriverModule(std::string_view name) {
    std::string file;
    {
        std::lock_guard lock(g_mutex);
        const auto it = g_modules.find(name);
        if (it == g_modules.end()) return;
        if (!g_modulesTried.emplace(name).second) return;
        file = it->second;
    }
    const std::filesystem::path path = ModuleDirectory() / file;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return;  // the module stays loaded for the life of the process
    using Entry = void (*)();
    if (auto entry = reinterpret_cast<Entry>(::dlsym(module, "MarloDriverEntry"))) entry();
}

std::shared_ptr<DeviceDriver> FindDriver(std::string_view name) {
    std::lock_guard lock(g_mutex);
    auto it = g_drivers.find(name);
    return it == g_drivers.end() ? nullptr : it->second;
}

}  // namespace

void RegisterDeviceDriver(const std::string& name, std::shared_ptr<DeviceDriver> driver) {
    std::lock_guard lock(g_mutex);
    g_drivers[name] = std::move(driver);
}

void SetDriverModule(std::string_view device, std::string_view file) {
    std::lock_guard lock(g_mutex);
    g_modules.insert_or_assign(std::string(device), std::string(file));
}

DeviceHandle OpenDevice(std::string_view name, std::uint32_t* error) {
    auto driver = FindDriver(name);
    if (!driver) {
        LoadDriverModule(name);
        driver = FindDriver(name);
    }
    if (!driver) {
        if (error) *error = kErrorFileNotFound;
        return nullptr;
    }
    auto file = std::make_shared<DeviceFile>();
    file->driver = driver;
    {
        std::lock_guard lock(g_mutex);
        file->id = ++g_nextFileId;
    }
    if (std::uint32_t refused = driver->OnOpen(file->id)) {
        if (error) *error = refused;
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    if (error) *error = 0;
    return g_files.Add(std::move(file));
}

bool CloseDevice(DeviceHandle device) {
    std::shared_ptr<DeviceFile> file;
    {
        std::lock_guard lock(g_mutex);
        file = g_files.Remove(device);
    }
    if (!file) return false;
    {
        std::lock_guard lock(file->mutex);
        file->closed = true;
    }
    file->driver->OnClose(file->id);
    std::vector<std::shared_ptr<DeviceRequest>> pending;
    {
        std::lock_guard lock(file->mutex);
        pending.swap(file->pending);
    }
    for (auto& request : pending) request->Complete(kErrorOperationAborted);
    return true;
}

std::uint32_t DeviceIoControl(DeviceHandle device, std::uint32_t controlCode,
                              std::span<std::uint8_t> block, Overlapped& overlapped) {
    std::shared_ptr<DeviceFile> file;
    {
        std::lock_guard lock(g_mutex);
        file = g_files.Find(device);
    }
    if (!file) return kErrorInvalidHandle;
    auto request = std::make_shared<DeviceRequest>(controlCode, block, overlapped.event);
    if (overlapped.event) ResetEvent(overlapped.event);
    {
        std::lock_guard lock(file->mutex);
        if (file->closed) return kErrorInvalidHandle;
        std::erase_if(file->pending, [](const auto& r) { return r->IsCompleted(); });
        file->pending.push_back(request);
    }
    overlapped.request = request;
    file->driver->OnRequest(file->id, request);
    if (!request->IsCompleted()) return kErrorIoPending;
    return request->TakeResult(block);
}

std::uint32_t GetOverlappedResult(const Overlapped& overlapped, std::span<std::uint8_t> block) {
    if (!overlapped.request) return kErrorInvalidParameter;
    return overlapped.request->TakeResult(block);
}

void CancelIo(Overlapped& overlapped) {
    if (overlapped.request) overlapped.request->Complete(kErrorOperationAborted);
}

#ifdef MARLOTRC_TESTING
void UnregisterDeviceDriver(const std::string& name) {
    std::lock_guard lock(g_mutex);
    g_drivers.erase(name);
}

std::size_t OpenDeviceHandleCount() {
    std::lock_guard lock(g_mutex);
    return g_files.Size();
}
#endif

}  // namespace platform
