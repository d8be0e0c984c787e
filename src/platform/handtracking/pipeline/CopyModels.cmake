# Run at build time: copies the hand models that exist in SOURCE_DIR into
# DESTINATION_DIR, only when they changed. Missing models are left out; the
# configure step has already warned about them.
file(MAKE_DIRECTORY ${DESTINATION_DIR})
foreach(model ${MODELS})
  if(EXISTS ${SOURCE_DIR}/${model})
    file(COPY_FILE ${SOURCE_DIR}/${model} ${DESTINATION_DIR}/${model} ONLY_IF_DIFFERENT)
  endif()
endforeach()
