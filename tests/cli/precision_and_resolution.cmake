# tolvane-cli acquire with a precision preset, then resolution on the
# spectrum it wrote.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${CLI}" acquire --device=sim --preset 100 --fast --out "${WORK}/p.dat"
    --roi 1:570:610 --precision 1:0.8 --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "acquire --precision: ${rc} ${out} ${err}")
endif()
string(JSON stopped GET "${out}" stopped_by)
string(JSON real GET "${out}" real_s)
string(JSON live GET "${out}" live_s)
string(JSON roi GET "${out}" roi)
string(JSON sigma GET "${out}" net_rel_sigma_pct)
string(JSON net GET "${out}" net)
if(NOT stopped STREQUAL "precision" OR NOT roi EQUAL 1 OR sigma GREATER 0.8 OR NOT real LESS 100
   OR live GREATER real OR NOT net GREATER 10000)
  message(FATAL_ERROR "precision stop: ${out}")
endif()
if(NOT err MATCHES "Stopped: ROI # 1 net σ 0\\.[0-9][0-9] % reached")
  message(FATAL_ERROR "the precision stop does not say why the run ended: ${err}")
endif()

# An unreachable precision: the preset ends the run.
execute_process(COMMAND "${CLI}" acquire --device=sim --preset 0.5 --fast --out "${WORK}/q.dat"
    --roi 1:570:610 --precision 1:0.01 --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
string(JSON stopped GET "${out}" stopped_by)
string(JSON real GET "${out}" real_s)
if(NOT rc EQUAL 0 OR NOT stopped STREQUAL "preset" OR NOT real EQUAL 0.5)
  message(FATAL_ERROR "preset stop: ${rc} ${out}")
endif()

foreach(bad "--precision;1:0" "--precision;16:1" "--precision;2:1" "--roi;1:610:570;--precision;1:1")
  execute_process(COMMAND "${CLI}" acquire --device=sim --preset 1 --fast --out "${WORK}/x.dat" ${bad}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT err MATCHES "--(precision|roi)")
    message(FATAL_ERROR "accepted ${bad}: ${rc} ${out} ${err}")
  endif()
endforeach()

execute_process(COMMAND "${CLI}" resolution "${WORK}/p.dat" --json RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "resolution: ${rc} ${out}")
endif()
string(JSON fwhm GET "${out}" fwhm_ev)
string(JSON err GET "${out}" fwhm_err_ev)
string(JSON centroid GET "${out}" centroid_ch)
string(JSON chi2 GET "${out}" chi2_reduced)
# The simulator's 145 eV, well within a few errors of about 1 eV.
if(fwhm LESS 140 OR fwhm GREATER 150 OR err LESS_EQUAL 0 OR err GREATER 3 OR centroid LESS 588.5
   OR centroid GREATER 590.5 OR chi2 GREATER 3)
  message(FATAL_ERROR "resolution values: ${out}")
endif()
execute_process(COMMAND "${CLI}" resolution "${WORK}/missing.dat" --json RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 1 OR NOT out MATCHES "\"error\"")
  message(FATAL_ERROR "resolution of a missing file: ${rc} ${out}")
endif()
