# Test-only code (fault setters, inspection calls, leak counters, shorter
# waits) is built into a second variant of the shared library that holds it,
# never into the one programs link and the install carries.
#
#   marlo_add_library_variants(NAME OUTPUT_NAME <base>
#     SOURCES ...          compiled once, into both variants
#     VARIANT_SOURCES ...  compiled for each variant; in the testing one
#                          MARLOTRC_TESTING is defined, which brings in the
#                          test-only code written under #ifdef MARLOTRC_TESTING
#     LIBS ...             what both variants link, after PUBLIC / PRIVATE
#                          as for target_link_libraries
#     VARIANT_LIBS ...     other libraries made by this function, after PUBLIC /
#                          PRIVATE: each variant links the same variant of them)
#
# makes NAME_library (lib<base>.so, what programs link and the install
# carries), NAME_testing (lib<base>-testing.so, never installed; it defines
# MARLOTRC_TESTING for its users too, so test code sees the test-only
# declarations) and NAME, which stands for the testing variant in a target
# whose MARLO_TESTING property is on (marlo_add_gtest sets it) and for the
# other variant everywhere else. A test process so holds only testing
# variants: one copy of each library, whichever loads it.
function(marlo_add_library_variants name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;VARIANT_SOURCES;LIBS;VARIANT_LIBS" ${ARGN})
  # Each variant's own links: the same variant of every library named.
  set(links_library)
  set(links_testing)
  foreach(item IN LISTS ARG_VARIANT_LIBS)
    if(item MATCHES "^(PUBLIC|PRIVATE|INTERFACE)$")
      list(APPEND links_library ${item})
      list(APPEND links_testing ${item})
    else()
      list(APPEND links_library ${item}_library)
      list(APPEND links_testing ${item}_testing)
    endif()
  endforeach()

  set(objects)
  if(ARG_SOURCES)
    add_library(${name}_objects OBJECT ${ARG_SOURCES})
    target_link_libraries(${name}_objects ${ARG_LIBS} ${ARG_VARIANT_LIBS})
    marlo_target_warnings(${name}_objects)
    set(objects $<TARGET_OBJECTS:${name}_objects>)
  endif()
  foreach(variant library testing)
    add_library(${name}_${variant} SHARED ${ARG_VARIANT_SOURCES} ${objects})
    target_link_libraries(${name}_${variant} ${ARG_LIBS} ${links_${variant}})
    marlo_target_warnings(${name}_${variant})
  endforeach()
  set_target_properties(${name}_library PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  set_target_properties(${name}_testing PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME}-testing MARLO_TESTING ON)
  target_compile_definitions(${name}_testing PUBLIC MARLOTRC_TESTING)

  add_library(${name} INTERFACE)
  target_link_libraries(${name} INTERFACE $<IF:$<BOOL:$<TARGET_PROPERTY:MARLO_TESTING>>,${name}_testing,${name}_library>)
endfunction()
