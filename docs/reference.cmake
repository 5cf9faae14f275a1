# Makes the API reference with doxygen and fails on any warning, printing
# them all (an undocumented public class or member is one):
#
#   cmake -D DOXYGEN=doxygen -D DOXYFILE=build/docs/Doxyfile -D OUTPUT=DIR
#         [-D CHECK_HEADERS=SOURCE_DIR] -P docs/reference.cmake
#
# DIR is made anew; the reference is DIR/html. With CHECK_HEADERS, the test's
# run: every header now in SOURCE_DIR/*/include/tarvix/ must have been read,
# which a folder missing from the configured input would not be, and DIR is
# removed once all is well.
foreach(var DOXYGEN DOXYFILE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "reference.cmake needs -D ${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})
set(log ${OUTPUT}/warnings.log)
set(config "@INCLUDE = \"${DOXYFILE}\"\nOUTPUT_DIRECTORY = \"${OUTPUT}\"\nWARN_LOGFILE = \"${log}\"\n")
if(DEFINED CHECK_HEADERS)
    string(APPEND config "GENERATE_XML = YES\n")
endif()
file(WRITE ${OUTPUT}/Doxyfile "${config}")

execute_process(COMMAND ${DOXYGEN} ${OUTPUT}/Doxyfile
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
)
set(warnings "")
if(EXISTS ${log})
    file(READ ${log} warnings)
    string(STRIP "${warnings}" warnings)
endif()
if(warnings)
    string(REGEX MATCHALL "(warning|error): " lines "${warnings}")
    list(LENGTH lines count)
    # As doxygen wrote them, one a line, which FATAL_ERROR would rewrap.
    message(NOTICE "${warnings}")
    message(FATAL_ERROR "The API reference has ${count} warning(s), above. Every public "
        "class, member, enum value, signal and property needs a doc comment: /*! ... */ "
        "before it, //!< after an enum value. A property warned of at line 1 is a "
        "Q_PROPERTY: its comment goes right above the Q_PROPERTY line.")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "doxygen failed (${status}):\n${output}")
endif()

if(DEFINED CHECK_HEADERS)
    file(READ ${OUTPUT}/xml/index.xml index)
    file(GLOB headers ${CHECK_HEADERS}/*/include/tarvix/*.h)
    if(NOT headers)
        message(FATAL_ERROR "No public headers in ${CHECK_HEADERS}/*/include/tarvix/")
    endif()
    set(unread)
    foreach(header IN LISTS headers)
        get_filename_component(name ${header} NAME)
        string(FIND "${index}" "kind=\"file\"><name>${name}</name>" at)
        if(at EQUAL -1)
            list(APPEND unread ${header})
        endif()
    endforeach()
    if(unread)
        list(JOIN unread "\n  " unread)
        message(FATAL_ERROR "The reference did not read these public headers:\n  ${unread}\n"
            "Configure the build again, so that their folder is in the Doxyfile's INPUT.")
    endif()
    list(LENGTH headers count)
    message(STATUS "API reference: ${count} public headers, no warnings")
    file(REMOVE_RECURSE ${OUTPUT})
endif()
