# lines, peaks and identify, on xraylib's tables and a simulated spectrum.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
function(expect_match what rc out pattern)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: ${rc} [${out}]")
  endif()
endfunction()

execute_process(COMMAND "${CLI}" lines Fe 29 --json RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("lines json" "${rc}" "${out}"
  "^\\{\"lines\": \\[\\{\"element\": \"Fe\", \"z\": 26, \"line\": \"Kα1\", \"energy_kev\": 6\\.40[34][0-9], \"relative\": 1\\}")
expect_match("lines Cu" "${rc}" "${out}" "\"element\": \"Cu\", \"z\": 29, \"line\": \"Kα1\", \"energy_kev\": 8\\.04[78]")
expect_match("lines escape" "${rc}" "${out}" "\"line\": \"Kα1 esc\", \"energy_kev\": 4\\.66")
execute_process(COMMAND "${CLI}" lines Pb --max-kev 100 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("lines Pb K at 100 keV" "${rc}" "${out}" "Pb +82 +Kα1 +74\\.9")
execute_process(COMMAND "${CLI}" lines Fe Qq --json RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err STREQUAL "tolvane-cli: lines: unknown element 'Qq' (4 to 95)\n"
   OR NOT out MATCHES "^\\{\"error\": \"unknown element 'Qq' \\(4 to 95\\)\", \"code\": \"unknown_element\"\\}\n$")
  message(FATAL_ERROR "lines with an unknown element: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" lines Fe --max-kev nine RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR NOT out STREQUAL "")
  message(FATAL_ERROR "lines --max-kev nine: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" lines --help RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("lines --help" "${rc}" "${out}" "tolvane-cli lines \\[options\\] EL\\.\\.\\.")

execute_process(COMMAND "${CLI}" acquire --device=sim --preset 60 --fast --out "${WORK}/s.dat" RESULT_VARIABLE rc)
# The simulator's channels are 10 eV wide; channel c holds c x 10 .. c x 10 + 10 eV.
execute_process(COMMAND "${CLI}" peaks "${WORK}/s.dat" --gain 0.01 --offset 0.005 --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("peaks json" "${rc}" "${out}" "^\\{\"file\": \"[^\"]*s\\.dat\", \"peaks\": \\[\\{\"channel\": ")
expect_match("peaks Mn K-alpha" "${rc}" "${out}"
  "\"energy_kev\": 5\\.89[0-9]+, \"net\": [0-9.]+, \"net_err\": [0-9.]+, \"fwhm_kev\": 0\\.1[3-6][0-9]+, \"candidates\": \\[\\{\"element\": \"Mn\", \"line\": \"Kα1\"")
expect_match("peaks elements" "${rc}" "${out}" "\"elements\": \\[\"Mn\"")
execute_process(COMMAND "${CLI}" peaks "${WORK}/s.dat" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err MATCHES "^tolvane-cli: peaks: Lines off: no energy calibration")
  message(FATAL_ERROR "peaks without a calibration: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" identify "${WORK}/s.dat" --cursor 590 --gain 0.01 --offset 0.005 --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("identify json" "${rc}" "${out}"
  "^\\{\"channel\": 590\\.00, \"energy_kev\": 5\\.9050, \"fwhm_kev\": 0\\.145[0-9], \"candidates\": \\[\\{\"element\": \"Mn\", \"line\": \"Kα1\"")
execute_process(COMMAND "${CLI}" identify "${WORK}/s.dat" --cursor 590 --gain 0.01 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
expect_match("identify text" "${rc}" "${out}" "^5\\.90 keV: Mn Kα \\(5\\.899\\), ")
execute_process(COMMAND "${CLI}" identify "${WORK}/s.dat" --cursor 5000 --gain 0.01 RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 2 OR NOT out STREQUAL "")
  message(FATAL_ERROR "identify past the spectrum: ${rc} [${out}]")
endif()
execute_process(COMMAND "${CLI}" render "${WORK}/s.dat" --out "${WORK}/s.png" --lines "Mn Fe"
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err MATCHES "no energy calibration" OR NOT EXISTS "${WORK}/s.png")
  message(FATAL_ERROR "render --lines without a calibration: ${rc} [${err}]")
endif()
