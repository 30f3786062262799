# cmake -DZIP=<file> -DOUT=<folder> -P unpack.cmake: unpacks the distribution
# zip into an empty folder, as a user would before installing.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${OUT})
