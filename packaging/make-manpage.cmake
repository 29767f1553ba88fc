# Writes the manual page of folivo-cli from its own --help, so that the page never lists a
# command the program does not have, or misses one it has.
#   cmake -DCLI=path/to/folivo-cli -DVERSION=x.y.z -DOUT=folivo-cli.1 -P make-manpage.cmake
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "folivo-cli --help failed: ${rc}")
endif()
# roff: a backslash is written \e; a line beginning with . or ' would be a request.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TIMESTAMP today "%Y-%m-%d" UTC)
file(WRITE ${OUT} ".TH FOLIVO-CLI 1 \"${today}\" \"Folivo ${VERSION}\" \"User Commands\"
.SH NAME
folivo-cli \\- read and change Folivo document databases from the command line
.SH SYNOPSIS
.B folivo-cli
[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR]
.SH DESCRIPTION
\\fBfolivo-cli\\fR works on the same databases (\\fIName\\fR.fvdb package folders) as the
Folivo window, with the same rules: what it changes is recorded and saved as the window
would. \\fBfolivo-cli help\\fR \\fICOMMAND\\fR shows how one command is called.
.PP
.nf
${help}.fi
.SH FILES
.TP
.I $XDG_CONFIG_HOME/folivo/
the preferences, shared with the window
.TP
.I $XDG_STATE_HOME/folivo/Folivo.log
the log of what Folivo did to the databases
.TP
.I $XDG_DATA_HOME/folivo/reminders.json
the reminder notifications waiting to be shown
.SH SEE ALSO
.BR folivo (1)
")
