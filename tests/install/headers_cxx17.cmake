# Compiles every public header on its own as C++17, the way a program of
# someone else's includes it: a one-line source, #include <tarvix/NAME.h>,
# with nothing of ours on the include path but the include/ folders that are
# installed (those of the sources and the generated export headers of the
# build) and Qt's. A header that needs C++20, or includes a header of ours that
# is not installed, fails; every failure is shown, then the test fails.
#
#   cmake -D COMPILER=... -D FLAGS=... -D SOURCE_DIR=... -D BINARY_DIR=... -D WORK_DIR=...
#         -P headers_cxx17.cmake
# FLAGS: a file that sets qt_include_dirs, qt_definitions and qt_options.
cmake_minimum_required(VERSION 3.22)
foreach(name COMPILER FLAGS SOURCE_DIR BINARY_DIR WORK_DIR)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "headers_cxx17.cmake needs -D ${name}=...")
    endif()
endforeach()
include(${FLAGS})
foreach(list qt_include_dirs qt_definitions qt_options)
    list(REMOVE_ITEM ${list} "")
    list(REMOVE_DUPLICATES ${list})
endforeach()

# The public headers live in <folder>/include/tarvix/, in the sources and in
# the build alike, and are installed as they lie there.
file(GLOB public_dirs LIST_DIRECTORIES true
    ${SOURCE_DIR}/*/include/tarvix
    ${BINARY_DIR}/*/include/tarvix
)
set(flags -std=c++17 -fsyntax-only -pedantic-errors -Wall -Wextra -Werror)
set(headers)
foreach(dir IN LISTS public_dirs)
    get_filename_component(include_dir ${dir} DIRECTORY)
    list(APPEND flags -I${include_dir})
    file(GLOB found RELATIVE ${dir} ${dir}/*.h)
    list(APPEND headers ${found})
endforeach()
# The compiler's own folder stays out: named with -isystem it would come
# before the C++ library's wrappers of the C headers, which then break.
list(REMOVE_ITEM qt_include_dirs /usr/include /usr/local/include)
foreach(dir IN LISTS qt_include_dirs)
    list(APPEND flags -isystem ${dir})
endforeach()
foreach(definition IN LISTS qt_definitions)
    list(APPEND flags -D${definition})
endforeach()
list(APPEND flags ${qt_options})

# The libraries' export headers are generated: without them the build tree
# was not configured, and the check would pass on too little.
foreach(generated tarvixcontractexport.h tarvixpingexport.h tarvixcomponentexport.h)
    if(NOT generated IN_LIST headers)
        message(FATAL_ERROR "${generated} is not in ${BINARY_DIR}/*/include/tarvix")
    endif()
endforeach()

list(REMOVE_DUPLICATES headers)
list(SORT headers)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(failed)
foreach(header IN LISTS headers)
    get_filename_component(stem ${header} NAME_WE)
    set(source ${WORK_DIR}/${stem}.cpp)
    file(WRITE ${source} "#include <tarvix/${header}>\n")
    execute_process(COMMAND ${COMPILER} ${flags} ${source}
        RESULT_VARIABLE result
        OUTPUT_VARIABLE output
        ERROR_VARIABLE output
    )
    if(result EQUAL 0)
        message(STATUS "ok      tarvix/${header}")
    else()
        message(STATUS "FAILED  tarvix/${header}\n${output}")
        list(APPEND failed ${header})
    endif()
endforeach()

list(LENGTH headers count)
if(failed)
    list(JOIN failed ", " failed)
    message(FATAL_ERROR "Not compiled alone as C++17: ${failed}")
endif()
message(STATUS "${count} headers compiled alone as C++17")
