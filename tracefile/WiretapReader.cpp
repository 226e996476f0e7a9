// Capture files read through libwiretap, the capture-file library of
// packet analysers. Its handles are C: each lives in an owner here that
// releases it, whichever way a read ends.
#include "tracefile/WiretapReader.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

extern "C" {
#include <wiretap/pcap-encap.h>
#include <wiretap/wtap.h>
#include <wsutil/buffer.h>
#include <wsutil/privileges.h>
#include <wsutil/wslog.h>
}

namespace tracefile {
namespace {

// libwiretap is set up once per process, before its first use: process
// policies first, as its headers ask, then the library without plugins.
// Its own diagnostics stay off the terminal; what matters reaches the user
// through the reader's results.
void InitWiretap() {
    static std::once_flag once;
    std::call_once(once, [] {
        ws_log_init("marlotrc", nullptr);
        ws_log_set_level(LOG_LEVEL_CRITICAL);
        init_process_policies();
        wtap_init(FALSE);
    });
}

struct WtapClose {
    void operator()(wtap* handle) const { wtap_close(handle); }
};
using WtapHandle = std::unique_ptr<wtap, WtapClose>;

struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using GText = std::unique_ptr<gchar, GFree>;

// One record and its data buffer, reused for every packet of a file.
class WtapRecord {
public:
    WtapRecord() {
        wtap_rec_init(&m_rec);
        ws_buffer_init(&m_buffer, 1514);
    }
    ~WtapRecord() {
        wtap_rec_cleanup(&m_rec);
        ws_buffer_free(&m_buffer);
    }
    WtapRecord(const WtapRecord&) = delete;
    WtapRecord& operator=(const WtapRecord&) = delete;

    wtap_rec& Rec() { return m_rec; }
    Buffer& Data() { return m_buffer; }

private:
    wtap_rec m_rec{};
    Buffer m_buffer{};
};

// What an encapsulation carries, as the user knows it.
std::string EncapName(int encap) {
    if (encap == WTAP_ENCAP_DPNSS) return "DPNSS";
    const char* text = wtap_encap_description(encap);
    return text != nullptr && *text != '\0' ? text : "encapsulation " + std::to_string(encap);
}

// A DCT2000 record: context name, port octet, time stamp, protocol name,
// variant and out-header (each text ending in a zero octet), a direction
// and an encapsulation octet, then the protocol's own octets.
struct Dct2000Record {
    std::string protocol;
    int encap = 0;
    std::span<const std::uint8_t> payload;
};

std::optional<Dct2000Record> SplitDct2000(std::span<const std::uint8_t> data) {
    std::size_t at = 0;
    const auto text = [&]() -> std::optional<std::string> {
        const auto* begin = data.data() + at;
        const void* zero = std::memchr(begin, 0, data.size() - at);
        if (zero == nullptr) return std::nullopt;
        const auto length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - begin);
        at += length + 1;
        return std::string(reinterpret_cast<const char*>(begin), length);
    };
    Dct2000Record record;
    if (!text()) return std::nullopt;  // context name
    if (at >= data.size()) return std::nullopt;
    ++at;  // port
    if (!text()) return std::nullopt;  // time stamp
    const auto protocol = text();
    if (!protocol || !text() || !text()) return std::nullopt;  // variant, out-header
    if (data.size() - at < 2) return std::nullopt;
    record.protocol = *protocol;
    record.encap = data[at + 1];
    record.payload = data.subspan(at + 2);
    return record;
}

// Formats libwiretap opens that hold documents, not traffic (pictures,
// media, certificates, serialised data): it recognises them by loose
// signatures, and a file that merely resembles one is no capture either.
bool IsDocumentFormat(int encap) {
    switch (encap) {
        case WTAP_ENCAP_MIME:
        case WTAP_ENCAP_MP4:
        case WTAP_ENCAP_JSON:
        case WTAP_ENCAP_TNEF:
        case WTAP_ENCAP_RUBY_MARSHAL:
        case WTAP_ENCAP_RFC7468: return true;
        default: return false;
    }
}

class WiretapReader final : public CaptureReader {
public:
    explicit WiretapReader(WtapHandle handle) : m_handle(std::move(handle)) {
        m_format = wtap_file_type_subtype_description(wtap_file_type_subtype(m_handle.get()));
        const wtap_compression_type compression = wtap_get_compression_type(m_handle.get());
        if (compression != WTAP_UNCOMPRESSED)
            m_format += std::string(", ") + wtap_compression_type_description(compression);
    }

    std::optional<CaptureReadResult> Read(int frames, const FrameSink& onFrame) override {
        for (const int before = m_frames; m_frames - before < frames;) {
            int error = 0;
            gchar* info = nullptr;
            gint64 offset = 0;
            const bool read = wtap_read(m_handle.get(), &m_record.Rec(), &m_record.Data(), &error, &info, &offset);
            const GText owned(info);
            if (!read) return Finish(error, owned.get());
            ++m_records;
            if (m_record.Rec().rec_type == REC_TYPE_PACKET) Packet(onFrame);
            wtap_rec_reset(&m_record.Rec());
        }
        return std::nullopt;
    }

    std::uint64_t BytesRead() const override {
        const gint64 read = wtap_read_so_far(m_handle.get());
        return read > 0 ? static_cast<std::uint64_t>(read) : 0;
    }

private:
    void Packet(const FrameSink& onFrame) {
        const wtap_rec& rec = m_record.Rec();
        const wtap_packet_header& header = rec.rec_header.packet_header;
        // The readers fill the buffer's room without moving its end mark:
        // caplen says how much they wrote, bounded by the room there is.
        const Buffer& buffer = m_record.Data();
        const std::size_t room = buffer.allocated > buffer.start ? buffer.allocated - buffer.start : 0;
        const std::span<const std::uint8_t> data(buffer.data + buffer.start, std::min<std::size_t>(header.caplen, room));
        CaptureFrame frame;
        if (rec.presence_flags & WTAP_HAS_TS) {
            frame.seconds = rec.ts.secs;
            const std::int64_t nanos = rec.ts.nsecs;
            frame.seconds += nanos / 1000000000 - (nanos % 1000000000 < 0 ? 1 : 0);
            frame.nanoseconds = static_cast<std::uint32_t>(((nanos % 1000000000) + 1000000000) % 1000000000);
        }
        frame.lapd = data;
        switch (header.pkt_encap) {
            case WTAP_ENCAP_LINUX_LAPD:
                frame.side = LinuxLapdSide(header.pseudo_header.lapd.pkttype, header.pseudo_header.lapd.we_network != 0);
                break;
            case WTAP_ENCAP_LAPD: {
                guint32 flags = 0;
                if (rec.block != nullptr &&
                    wtap_block_get_uint32_option_value(rec.block, OPT_PKT_FLAGS, &flags) == WTAP_OPTTYPE_SUCCESS)
                    frame.side = SideOfFlags(flags);
                break;
            }
            case WTAP_ENCAP_ISDN:
                if (!Isdn(header.pseudo_header.isdn, frame)) return;
                break;
            case WTAP_ENCAP_CATAPULT_DCT2000: {
                const auto record = SplitDct2000(data);
                if (!record) {
                    m_skipped.Add("DCT2000 records");
                    return;
                }
                if (record->encap != WTAP_ENCAP_ISDN) {
                    m_skipped.Add("DCT2000 " + record->protocol);
                    return;
                }
                frame.lapd = record->payload;
                if (!Isdn(header.pseudo_header.dct2000.inner_pseudo_header.isdn, frame)) return;
                break;
            }
            default: m_skipped.Add(EncapName(header.pkt_encap)); return;
        }
        onFrame(frame);
        ++m_frames;
    }

    // An ISDN frame is the D-channel's on channel 0, and says which way it went.
    bool Isdn(const isdn_phdr& isdn, CaptureFrame& frame) {
        if (isdn.channel != 0) {
            m_skipped.Add("ISDN B channel");
            return false;
        }
        frame.side = isdn.uton ? FrameSide::User : FrameSide::Network;
        return true;
    }

    CaptureReadResult Finish(int error, const gchar* info) {
        if (error == WTAP_ERR_SHORT_READ) return CaptureTruncated(m_frames);
        if (error != 0) return CaptureDamaged(info != nullptr ? info : wtap_strerror(error), m_frames);
        if (m_records == 0) {
            // Some formats' signatures are loose enough to claim an empty
            // file or a few stray octets: a capture without a single record
            // shows nothing that says it is one.
            CaptureReadResult none;
            none.status = CaptureStatus::NotCapture;
            none.message = "The file holds no records of any capture format.";
            return none;
        }
        if (m_frames == 0 && m_skipped.Count() > 0) return m_skipped.NoLapd(m_format);
        CaptureReadResult result;
        result.frames = m_frames;
        m_skipped.Into(result);
        return result;
    }

    WtapHandle m_handle;
    WtapRecord m_record;
    std::string m_format;
    SkippedPackets m_skipped;
    int m_frames = 0;
    int m_records = 0;  // of any kind
};

}  // namespace

std::unique_ptr<CaptureReader> OpenWiretapCapture(const std::string& path, CaptureReadResult* failure) {
    InitWiretap();
    int error = 0;
    gchar* info = nullptr;
    WtapHandle handle(wtap_open_offline(path.c_str(), WTAP_TYPE_AUTO, &error, &info, FALSE));
    const GText owned(info);
    if (handle && !IsDocumentFormat(wtap_file_encap(handle.get())))
        return std::make_unique<WiretapReader>(std::move(handle));
    if (failure != nullptr) {
        if (handle || error == WTAP_ERR_FILE_UNKNOWN_FORMAT) {
            *failure = CaptureReadResult();
            failure->status = CaptureStatus::NotCapture;
            failure->message = "This file is in no capture format known.";
        } else {
            const std::string why = owned ? owned.get() : wtap_strerror(error);
            *failure = CaptureDamaged(why, 0);
        }
    }
    return nullptr;
}

std::string LinkTypeName(std::uint32_t linkType) {
    InitWiretap();
    const int encap = wtap_pcap_encap_to_wtap_encap(static_cast<int>(linkType));
    if (encap == WTAP_ENCAP_UNKNOWN) return "link type " + std::to_string(linkType);
    return EncapName(encap);
}

}  // namespace tracefile
