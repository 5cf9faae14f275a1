# What every library that ships has alike: its users need C++17 at least (Qt
# 6's own minimum); its export macros (BASE_NAME) come from the generated
# header include/tarvix/EXPORT_HEADER; its file name and SONAME carry the
# project's version; its public headers, those of include/tarvix/ in the
# sources and the build, are included as <tarvix/...> in the tree and
# installed; the library goes to the runtime component, its link and headers
# to the development one.
#
#   tarvix_shipped_library(target OUTPUT_NAME name EXPORT_NAME name
#                          BASE_NAME macro_prefix EXPORT_HEADER file.h)
function(tarvix_shipped_library target)
    cmake_parse_arguments(arg "" "OUTPUT_NAME;EXPORT_NAME;BASE_NAME;EXPORT_HEADER" "" ${ARGN})
    target_compile_features(${target} INTERFACE cxx_std_17)
    generate_export_header(${target}
        BASE_NAME ${arg_BASE_NAME}
        EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/include/tarvix/${arg_EXPORT_HEADER}
    )
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${arg_OUTPUT_NAME}
        EXPORT_NAME ${arg_EXPORT_NAME}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${TARVIX_SOVERSION}
    )
    target_include_directories(${target} PUBLIC
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}/include>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    )
    install(TARGETS ${target} EXPORT TarvixTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    )
    install(DIRECTORY include/ ${CMAKE_CURRENT_BINARY_DIR}/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
    )
endfunction()
