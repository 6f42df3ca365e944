# Read by cpack before it makes the package (CPACK_PROJECT_CONFIG_FILE). The
# DEB generator stamps every file and archive member with SOURCE_DATE_EPOCH:
# the changelog's date, so the .deb does not depend on when it was made.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_ZQ_SOURCE_DATE_EPOCH}")
