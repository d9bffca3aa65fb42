# Writes a fresh installed links.mdb at TARGET with TOOL, unless a file is already there.
if(EXISTS "${TARGET}")
    message(STATUS "Keeping the existing ${TARGET}")
else()
    execute_process(COMMAND "${TOOL}" "${TARGET}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "Could not write ${TARGET}")
    endif()
endif()
