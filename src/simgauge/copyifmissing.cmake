# cmake -DSOURCE=<file> -DTARGET=<file> -P copyifmissing.cmake
# Puts a default file in place only where none is: a file the user has edited is never replaced.
if(NOT EXISTS "${TARGET}")
    configure_file("${SOURCE}" "${TARGET}" COPYONLY)
endif()
