# Installs the linekit component into a fresh prefix and builds the C example
# against it twice, once with pkg-config and once with find_package(linekit),
# then runs both programs against the emulated card. Nothing of the build
# tree may be needed: the programs see only the prefix.
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=... -P InstalledPackage.cmake
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR C_COMPILER GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component linekit)

# The installed library carries no test hook.
file(GLOB_RECURSE libraries ${prefix}/*/liblinekit.so)
list(LENGTH libraries count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one installed liblinekit.so, found: ${libraries}")
endif()
file(STRINGS ${libraries} hooks REGEX "WaitLimit")
if(hooks)
  message(FATAL_ERROR "the installed library exports a test hook: ${hooks}")
endif()
get_filename_component(libdir ${libraries} DIRECTORY)

set(example ${SOURCE_DIR}/linekit/examples/line_status.c)
set(ENV{ORINTPX_EMULATOR} "")
unset(ENV{MARLOTRC_DRIVER_DIR})

# pkg-config, as a Makefile or a shell script would use it.
set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
unset(ENV{PKG_CONFIG_LIBDIR})
run(pkg-config --cflags --libs linekit)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${C_COMPILER} -std=c89 -pedantic -Wall -Wextra -Werror ${example} ${flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/line_status_pkgconfig)
run(${WORK_DIR}/line_status_pkgconfig)
if(NOT last_output MATCHES "^line state 3, receiving signal 4, transmission signal 2\n$")
  message(FATAL_ERROR "unexpected output of the pkg-config build: ${last_output}")
endif()

# find_package(linekit) from a scratch CMake project.
set(scratch ${WORK_DIR}/scratch)
file(MAKE_DIRECTORY ${scratch})
file(WRITE ${scratch}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(scratch C)
find_package(linekit 1 REQUIRED)
add_executable(line_status ${example})
target_link_libraries(line_status PRIVATE linekit::linekit)
")
run(${CMAKE_COMMAND} -S ${scratch} -B ${scratch}/build -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${scratch}/build)
run(${scratch}/build/line_status)
if(NOT last_output MATCHES "^line state 3, receiving signal 4, transmission signal 2\n$")
  message(FATAL_ERROR "unexpected output of the find_package build: ${last_output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
