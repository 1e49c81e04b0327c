# Read by cpack before it packages. It refuses a build that left out the
# .vsix, so that no release lacks it (install.cmake). The package's files and
# its archive members are dated SOURCE_DATE_EPOCH, which CPack honours, and
# when that is not set 1980-01-01 00:00 UTC, as in the kit, so that every
# build of the same sources gives the same bytes.
if(CPACK_QUORLAN_REFUSED)
    message(FATAL_ERROR "${CPACK_QUORLAN_REFUSED}")
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} 315532800)
endif()
