# Copies the editor's runtime files beside the program in the build tree.
# Called at build time with -DSOURCE=<app/runtime> -DDEST=<program directory>.
file(MAKE_DIRECTORY "${DEST}/script")
foreach(name index.html script.cfg LICENSE.TXT)
  file(COPY_FILE "${SOURCE}/${name}" "${DEST}/${name}" ONLY_IF_DIFFERENT)
endforeach()
if(IS_DIRECTORY "${SOURCE}/script")
  file(COPY "${SOURCE}/script/" DESTINATION "${DEST}/script" USE_SOURCE_PERMISSIONS)
endif()
