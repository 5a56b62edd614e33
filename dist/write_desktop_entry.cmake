# Run by the install: writes the desktop entry for the prefix the install
# runs with. Set before: LUMVANE_DESKTOP_IN, LUMVANE_DESKTOP_OUT, LUMVANE_BINDIR.
set(LUMVANE_EXEC "${CMAKE_INSTALL_PREFIX}/${LUMVANE_BINDIR}/lumvane")
# A path with characters the Exec key reserves is quoted; inside the quotes
# a backslash, quote, dollar or backquote is escaped, the entry's string
# escape then doubles each backslash, and a percent sign is doubled.
if(NOT LUMVANE_EXEC MATCHES "^[A-Za-z0-9._/+,=:@-]+$")
  string(REPLACE "\\" "\\\\\\\\" LUMVANE_EXEC "${LUMVANE_EXEC}")
  string(REPLACE "\"" "\\\\\"" LUMVANE_EXEC "${LUMVANE_EXEC}")
  string(REPLACE "$" "\\\\$" LUMVANE_EXEC "${LUMVANE_EXEC}")
  string(REPLACE "`" "\\\\`" LUMVANE_EXEC "${LUMVANE_EXEC}")
  string(REPLACE "%" "%%" LUMVANE_EXEC "${LUMVANE_EXEC}")
  set(LUMVANE_EXEC "\"${LUMVANE_EXEC}\"")
endif()
configure_file("${LUMVANE_DESKTOP_IN}" "${LUMVANE_DESKTOP_OUT}" @ONLY)
