# The libraries speak the user's language: each library's texts go through
# Qt's tr(), are gathered by lupdate into catalogues kept in the sources
# (<folder>/translations/<catalogue>_<language>.ts), compiled by lrelease
# when the library builds and embedded in it as resources under
# :/tarvix/i18n/. Nothing is installed beside the libraries, and no file is
# looked for at run time. The library's own code installs its catalogue when
# an application starts: TARVIX_TRANSLATIONS_AT_STARTUP(<catalogue>) of
# ping_engine/translations.h, in one of its sources.
#
#   tarvix_add_translations(target CATALOGUE name)
#
# `update_translations` (or <target>_lupdate) brings the catalogues up to
# date with the sources (a new one is made empty at configuration); their
# translations are then reviewed and committed.
# For a static library, the resource is in object files that every target
# linking it takes: a shared library that takes the static one whole carries
# its catalogue.
find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

# The languages shipped besides English, which the texts are written in.
set(TARVIX_TRANSLATION_LANGUAGES de)
# Where the catalogues are in the resources; the loader looks there alone.
set(TARVIX_TRANSLATION_RESOURCE_PREFIX /tarvix/i18n)

function(tarvix_add_translations target)
    cmake_parse_arguments(arg "" "CATALOGUE" "" ${ARGN})
    if(NOT arg_CATALOGUE OR arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tarvix_add_translations(${target} CATALOGUE name): ${ARGN}")
    endif()
    set(ts_files "")
    foreach(language IN LISTS TARVIX_TRANSLATION_LANGUAGES)
        set(ts_file ${CMAKE_CURRENT_SOURCE_DIR}/translations/${arg_CATALOGUE}_${language}.ts)
        # A new catalogue starts empty, for update_translations to fill. Qt's
        # own rule for a missing one would empty it again at the next build.
        if(NOT EXISTS ${ts_file})
            file(WRITE ${ts_file} "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
                "<TS version=\"2.1\" language=\"${language}\">\n</TS>\n")
            message(STATUS "New catalogue ${ts_file}: build update_translations to fill it")
        endif()
        list(APPEND ts_files ${ts_file})
    endforeach()
    # Without line numbers the catalogues change with the texts only, not
    # with every edit of a source around them.
    qt_add_translations(${target}
        TS_FILES ${ts_files}
        RESOURCE_PREFIX ${TARVIX_TRANSLATION_RESOURCE_PREFIX}
        LUPDATE_OPTIONS -locations none
        LRELEASE_OPTIONS -silent
    )
endfunction()
