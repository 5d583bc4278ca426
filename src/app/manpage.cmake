# Writes the manual page of morvane from its own --help, so the two never differ.
#   cmake -DTOOL=<morvane> -DOUTPUT=<file.1> -DVERSION=<x.y.z> -P manpage.cmake
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help failed: ${status}")
endif()
string(REPLACE "\\" "\\e" text "${text}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
file(WRITE ${OUTPUT} ".TH MORVANE 1 \"\" \"morvane ${VERSION}\" \"Commandes\"
.SH NOM
morvane \\- renommer et convertir des lots de fichiers image
.SH SYNOPSIS
.nf
${text}.fi
.SH FICHIERS
.TP
.I ~/.config/Morvane/Morvane.ini
les réglages (\\fI$XDG_CONFIG_HOME/Morvane/Morvane.ini\\fP quand la variable est définie)
.TP
.I share/morvane/morvane.hlp
l'aide, ouverte par la commande « Aide »
.SH VOIR AUSSI
.BR morvane-batch (1)
")
