# The shapes our targets take, so that a folder's CMakeLists.txt says only
# what is its own: its sources and what it links.

# vantor_library(<name> [QT] SOURCES <file>... [PUBLIC <item>...] [PRIVATE <item>...])
# The static library vantor_<name>, also known as vantor::<name>: headers
# included from src/ as "<folder>/<Header>.h", built with our warnings. QT
# runs moc on it (every view class carries Q_OBJECT).
function(vantor_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "" "SOURCES;PUBLIC;PRIVATE")
  add_library(vantor_${name} STATIC ${arg_SOURCES})
  add_library(vantor::${name} ALIAS vantor_${name})
  target_include_directories(vantor_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vantor_${name} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
  if(arg_QT)
    set_target_properties(vantor_${name} PROPERTIES AUTOMOC ON)
  endif()
  vantor_warnings(vantor_${name})
endfunction()

# vantor_gtest(<program> LABEL <label> SOURCES <file>... [LIBRARIES <item>...])
# A GoogleTest program whose tests CTest finds by their own names (a
# parameterised case by its generator's name, without GoogleTest's dump of
# the parameter), each under <label>.
function(vantor_gtest program)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LABEL" "SOURCES;LIBRARIES")
  add_executable(${program} ${arg_SOURCES})
  target_link_libraries(${program} PRIVATE ${arg_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
  vantor_warnings(${program})
  gtest_discover_tests(${program} NO_PRETTY_VALUES PROPERTIES LABELS ${arg_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
