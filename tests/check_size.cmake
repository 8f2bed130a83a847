# Fails unless the program file is smaller than LIMIT bytes.
file(SIZE "${PROGRAM}" size)
if(NOT size LESS LIMIT)
  message(FATAL_ERROR "${PROGRAM} is ${size} bytes; it must stay under ${LIMIT}")
endif()
message(STATUS "${PROGRAM}: ${size} bytes, limit ${LIMIT}")
