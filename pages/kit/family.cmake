# tool_add_family(<name> KIND <page kind> PAGE <page class> [SIM <simulated family>] [DIR <folder>]
#                 [NO_VERBS])
# tool_add_family(<name> [SIM <simulated family>] [DIR <folder>])   (no page yet: verbs, simulated
#                                                                      instrument and tests only)
#
# Defines one instrument family from its folder pages/<name>/ (or DIR, a folder of the source
# tree, for a subsystem with a folder of its own such as history/):
#   <name>_commands  the Qt-free library: every .cpp and .h of the folder but the page's
#   <name>_page      the Qt page: <name>_page.h and <name>_page.cpp (when TOOL_BUILD_QT)
#   <name>_tests     tests/*_test.cpp without Qt: scripted channel, simulator, the tool-cli binary
#                    (*_cli_test.cpp, not on Windows)
#   <name>_page_tests tests/*_page_test.cpp under the offscreen platform
# and registers it: tool-cli offers pages::<name>::Commands(), the main window creates
# pages::<PAGE> for the page kind app::<KIND>, and tool-sim answers through
# sim::Register<SIM>() of sim/families/<sim file>.cpp (SIM names the function, the file is its
# name in lower case with words joined by '_'). NO_VERBS: a family that talks to no instrument
# over the link (the gateway server) has no command table; tool-cli reaches it its own way.
# The tests also find the built tool-sim in TOOL_SIM.
# A test program's XDG_DATA_HOME (the history archive's folder) inside the build tree.
function(tool_test_data_home target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/pages/testing/test_data_home.cpp)
  target_compile_definitions(${target} PRIVATE TOOL_TEST_DATA_HOME="${CMAKE_BINARY_DIR}/test-data")
endfunction()

function(tool_add_family name)
  cmake_parse_arguments(FAMILY "NO_VERBS" "KIND;PAGE;SIM;DIR" "" ${ARGN})
  if((FAMILY_KIND AND NOT FAMILY_PAGE) OR (FAMILY_PAGE AND NOT FAMILY_KIND))
    message(FATAL_ERROR "tool_add_family(${name}): KIND and PAGE go together")
  endif()
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  if(FAMILY_DIR)
    set(dir ${FAMILY_DIR})
  endif()
  file(RELATIVE_PATH include_dir ${PROJECT_SOURCE_DIR} ${dir})
  if(NOT EXISTS ${dir}/${name}_commands.h)
    message(FATAL_ERROR "tool_add_family(${name}): ${dir}/${name}_commands.h is missing")
  endif()

  file(GLOB command_sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(page_sources ${command_sources})
  list(FILTER page_sources INCLUDE REGEX "_page\\.(cpp|h)$")
  list(FILTER command_sources EXCLUDE REGEX "_page\\.(cpp|h)$")
  # One file per platform: NAME_posix.cpp on Linux, NAME_win32.cpp on Windows.
  if(WIN32)
    list(FILTER command_sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER command_sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  add_library(${name}_commands STATIC ${command_sources})
  target_link_libraries(${name}_commands PUBLIC family_kit widget_protocols PRIVATE tool_warnings)
  set_target_properties(${name}_commands PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

  file(GLOB plain_tests CONFIGURE_DEPENDS ${dir}/tests/*_test.cpp)
  set(page_tests ${plain_tests})
  list(FILTER page_tests INCLUDE REGEX "_page_test\\.cpp$")
  list(FILTER plain_tests EXCLUDE REGEX "_page_test\\.cpp$")
  # The tests that run the tool-cli binary (*_cli_test.cpp) spawn it on the simulator's
  # pseudo-terminal with posix_spawn: not in the Windows build, where scripts/windows runs
  # tool-cli.exe against tool-sim.exe over TCP instead.
  # Tests of a family's POSIX-only parts are NAME_posix_test.cpp, as the sources.
  if(WIN32)
    list(FILTER plain_tests EXCLUDE REGEX "_(cli|posix)_test\\.cpp$")
  else()
    list(FILTER plain_tests EXCLUDE REGEX "_win32_test\\.cpp$")
  endif()
  if(plain_tests)
    add_executable(${name}_tests ${plain_tests})
    target_link_libraries(${name}_tests PRIVATE ${name}_commands sim GTest::gtest_main tool_warnings)
    tool_test_data_home(${name}_tests)
    set_target_properties(${name}_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    # Some of them run the tool-cli binary itself.
    add_dependencies(${name}_tests tool-cli)
    add_dependencies(${name}_tests tool-sim)
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "TOOL_CLI=$<TARGET_FILE:tool-cli>"
                                    ENVIRONMENT_MODIFICATION "TOOL_SIM=set:$<TARGET_FILE:tool-sim>")
  endif()

  if(TOOL_BUILD_QT AND FAMILY_PAGE)
    qt_add_library(${name}_page STATIC ${page_sources})
    target_link_libraries(${name}_page PUBLIC ${name}_commands page_kit page_widgets ui Qt6::Widgets
                          PRIVATE tool_warnings)
    if(page_tests)
      qt_add_executable(${name}_page_tests ${page_tests})
      tool_test_data_home(${name}_page_tests)
      target_link_libraries(${name}_page_tests PRIVATE ${name}_page sim ui_test_main tool_warnings)
      gtest_discover_tests(${name}_page_tests DISCOVERY_TIMEOUT 60
                           PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
  endif()

  set_property(GLOBAL APPEND PROPERTY TOOL_FAMILIES ${name})
  set_property(GLOBAL PROPERTY TOOL_FAMILY_${name}_KIND ${FAMILY_KIND})
  set_property(GLOBAL PROPERTY TOOL_FAMILY_${name}_PAGE ${FAMILY_PAGE})
  set_property(GLOBAL PROPERTY TOOL_FAMILY_${name}_SIM "${FAMILY_SIM}")
  set_property(GLOBAL PROPERTY TOOL_FAMILY_${name}_INCLUDE "${include_dir}")
  set_property(GLOBAL PROPERTY TOOL_FAMILY_${name}_NO_VERBS ${FAMILY_NO_VERBS})
endfunction()

# The families in the order they were added.
function(tool_families out)
  get_property(families GLOBAL PROPERTY TOOL_FAMILIES)
  set(${out} ${families} PARENT_SCOPE)
endfunction()

# The families that have a page, in the order they were added.
function(tool_families_with_pages out)
  tool_families(families)
  set(with_pages "")
  foreach(name IN LISTS families)
    get_property(page GLOBAL PROPERTY TOOL_FAMILY_${name}_PAGE)
    if(page)
      list(APPEND with_pages ${name})
    endif()
  endforeach()
  set(${out} ${with_pages} PARENT_SCOPE)
endfunction()

# Writes `file` with `content` only when it differs, so an unchanged registry is not rebuilt.
function(tool_write_if_changed file content)
  if(EXISTS ${file})
    file(READ ${file} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${file} "${content}")
endfunction()

# tool-cli: the command set of every family (pages::<name>::Commands()).
function(tool_cli_registry file)
  tool_families(families)
  set(includes "")
  set(calls "")
  foreach(name IN LISTS families)
    get_property(no_verbs GLOBAL PROPERTY TOOL_FAMILY_${name}_NO_VERBS)
    if(no_verbs)
      continue()
    endif()
    get_property(include_dir GLOBAL PROPERTY TOOL_FAMILY_${name}_INCLUDE)
    string(APPEND includes "#include \"${include_dir}/${name}_commands.h\"\n")
    string(APPEND calls "  sets.push_back(pages::${name}::Commands());\n")
  endforeach()
  tool_write_if_changed(${file} "// Generated from the families of pages/CMakeLists.txt.
#include \"cli/cli.h\"
#include \"pages/kit/profile.h\"
${includes}
namespace cli {

std::vector<pages::CommandSet> CommandSets() {
  std::vector<pages::CommandSet> sets;
${calls}  sets.push_back(pages::ProfileCommands());
  return sets;
}

}  // namespace cli
")
endfunction()

# The main window: the page of every family's page kind.
function(tool_page_registry file)
  tool_families(families)
  set(includes "")
  set(cases "")
  foreach(name IN LISTS families)
    get_property(kind GLOBAL PROPERTY TOOL_FAMILY_${name}_KIND)
    get_property(page GLOBAL PROPERTY TOOL_FAMILY_${name}_PAGE)
    if(NOT page)
      continue()
    endif()
    get_property(include_dir GLOBAL PROPERTY TOOL_FAMILY_${name}_INCLUDE)
    string(APPEND includes "#include \"${include_dir}/${name}_page.h\"\n")
    string(APPEND cases "    case ${kind}: return new pages::${page}(link, variant, parent);\n")
  endforeach()
  tool_write_if_changed(${file} "// Generated from the families of pages/CMakeLists.txt.
#include \"app/page_factory.h\"
#include \"app/variants.h\"
${includes}
namespace app {

QWidget* CreateFamilyPage(int kind, devlink::DeviceLink& link, int variant, QWidget* parent) {
  switch (kind) {
${cases}    default: return nullptr;
  }
}

}  // namespace app
")
endfunction()

# tool-sim: the simulated family of every family that names one. Returns its sources in `out`.
function(tool_sim_registry file out)
  tool_families(families)
  set(declarations "")
  set(calls "")
  set(sources "")
  foreach(name IN LISTS families)
    get_property(simulated GLOBAL PROPERTY TOOL_FAMILY_${name}_SIM)
    if(simulated)
      string(REGEX REPLACE "([a-z0-9])([A-Z])" "\\1_\\2" stem "${simulated}")
      string(TOLOWER "${stem}" stem)
      list(APPEND sources ${PROJECT_SOURCE_DIR}/sim/families/${stem}.cpp)
      string(APPEND declarations "void Register${simulated}(Simulator& simulator);\n")
      string(APPEND calls "  Register${simulated}(simulator);\n")
    endif()
  endforeach()
  tool_write_if_changed(${file} "// Generated from the families of pages/CMakeLists.txt.
#include \"sim/simulator.h\"

namespace sim {

${declarations}
void RegisterPageFamilies(Simulator& simulator) {
${calls}}

}  // namespace sim
")
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
