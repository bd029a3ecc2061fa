# Read by cpack for each generator. Each package's description begins with its own summary
# line; the project's summary would otherwise be put in front of every one of them.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
