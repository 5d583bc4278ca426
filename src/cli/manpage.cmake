# Writes the manual page of morvane-batch from its own help texts, so the two never differ.
#   cmake -DTOOL=<morvane-batch> -DOUTPUT=<file.1> -DVERSION=<x.y.z> -P manpage.cmake
function(help_of out)
  execute_process(COMMAND ${TOOL} ${ARGN} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} ${ARGN} --help failed: ${status}")
  endif()
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(program)
help_of(convert convert)
help_of(rename rename)
file(WRITE ${OUTPUT} ".TH MORVANE-BATCH 1 \"\" \"morvane-batch ${VERSION}\" \"Commandes\"
.SH NOM
morvane-batch \\- conversion et renommage de lots de fichiers image, sans fenêtre
.SH SYNOPSIS
.nf
${program}.fi
.SH CONVERT
.nf
${convert}.fi
.SH RENAME
.nf
${rename}.fi
")
