# Read by cpack before it packages: the package's files and its archive
# members are dated SOURCE_DATE_EPOCH, which CPack honours, and when that is
# not set 1980-01-01 00:00 UTC, as in the kit, so that every build of the
# same sources gives the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} 315532800)
endif()
