# Generates the C++ reader of our TensorFlow Lite schema subset with flatc and
# adds it, with the model reader and the network check, to a target. Shared by
# the hand-pose library and the fuzz target, which builds without src/platform.
find_program(FLATC_EXECUTABLE flatc REQUIRED)

set(VANTOR_HANDPOSE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(vantor_add_tflite_reader target)
  set(generated_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(generated ${generated_dir}/TfliteSubset_generated.h)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${FLATC_EXECUTABLE} --cpp -o ${generated_dir}
            ${VANTOR_HANDPOSE_SOURCE_DIR}/TfliteSubset.fbs
    DEPENDS ${VANTOR_HANDPOSE_SOURCE_DIR}/TfliteSubset.fbs
    COMMENT "Generating the TensorFlow Lite reader with flatc"
    VERBATIM)
  target_sources(${target} PRIVATE
    ${generated}
    ${VANTOR_HANDPOSE_SOURCE_DIR}/TfliteModel.cpp
    ${VANTOR_HANDPOSE_SOURCE_DIR}/NetworkPlan.cpp)
  target_include_directories(${target} PUBLIC ${generated_dir})
  target_include_directories(${target} PUBLIC ${VANTOR_HANDPOSE_SOURCE_DIR})
endfunction()
