# export and import: the formats, a refused EMSA file, usage errors.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${CLI}" acquire --device=sim --preset 5 --fast --out "${WORK}/s.dat" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "acquire: ${rc}")
endif()
foreach(format msa spec csv)
  execute_process(COMMAND "${CLI}" export "${WORK}/s.dat" --format ${format} --out "${WORK}/s.${format}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK}/s.${format}")
    message(FATAL_ERROR "export ${format}: ${rc} [${out}] [${err}]")
  endif()
endforeach()
file(STRINGS "${WORK}/s.csv" lines)
list(LENGTH lines count)
list(GET lines 0 first)
if(NOT count EQUAL 4097 OR NOT first STREQUAL "channel,energy_kev,counts")
  message(FATAL_ERROR "csv: ${count} lines, first [${first}]")
endif()

# .dat -> msa -> .dat gives back the same file.
execute_process(COMMAND "${CLI}" import "${WORK}/s.msa" --out "${WORK}/back.dat" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "4096 channels\n")
  message(FATAL_ERROR "import: ${rc} [${out}]")
endif()
file(SHA256 "${WORK}/s.dat" before)
file(SHA256 "${WORK}/back.dat" after)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "the spectrum file changed on its way through EMSA")
endif()

# A refused file: non-zero exit, the reader's message naming the line, no output file.
file(WRITE "${WORK}/bad.msa" "#NPOINTS : 3\n#SPECTRUM :\n1, 2, three\n#ENDOFDATA :\n")
execute_process(COMMAND "${CLI}" import "${WORK}/bad.msa" --out "${WORK}/bad.dat" --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "^tolvane-cli: import: .*bad.msa line 3: text in data\n$"
   OR NOT out MATCHES "\"code\": \"refused\"" OR EXISTS "${WORK}/bad.dat")
  message(FATAL_ERROR "refused import: ${rc} [${out}] [${err}]")
endif()

# Usage errors exit with 2 and print nothing on stdout.
foreach(args "export;${WORK}/s.dat;--format;pdf;--out;${WORK}/x" "export;${WORK}/s.dat;--out;${WORK}/x"
             "import;${WORK}/s.msa" "export;${WORK}/s.dat;--format;csv;--xy;--out;${WORK}/x")
  execute_process(COMMAND "${CLI}" ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "^tolvane-cli: (export|import): ")
    message(FATAL_ERROR "usage error [${args}]: ${rc} [${out}] [${err}]")
  endif()
endforeach()
execute_process(COMMAND "${CLI}" export "${WORK}/none.dat" --format csv --out "${WORK}/x.csv" RESULT_VARIABLE rc)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "export of a missing file: ${rc}")
endif()

# Outputs are checked before any work, with the reason; the codes are the documented ones.
execute_process(COMMAND "${CLI}" export "${WORK}/s.dat" --format msa --out "${WORK}/nofolder/s.msa" --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err STREQUAL "tolvane-cli: export: cannot write ${WORK}/nofolder/s.msa: no such folder\n"
   OR NOT out MATCHES "\"code\": \"output\"")
  message(FATAL_ERROR "export into a missing folder: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" export "${WORK}/none.dat" --format msa --out "${WORK}/nofolder/s.msa"
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "nofolder/s.msa: no such folder")
  message(FATAL_ERROR "export checks its output before reading: ${rc} [${err}]")
endif()
execute_process(COMMAND "${CLI}" export "${WORK}/none.dat" --format csv --out "${WORK}/x.csv" --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out MATCHES "\"code\": \"not_found\"" OR NOT err MATCHES "none.dat: no such file\n$")
  message(FATAL_ERROR "export of a missing file: ${rc} [${out}] [${err}]")
endif()
foreach(bad "msa;x.csv" "spec;x.msa" "csv;x.dat")
  list(GET bad 0 format)
  list(GET bad 1 name)
  execute_process(COMMAND "${CLI}" export "${WORK}/s.dat" --format ${format} --out "${WORK}/${name}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT out STREQUAL "" OR EXISTS "${WORK}/${name}")
    message(FATAL_ERROR "export ${format} to ${name}: ${rc} [${out}] [${err}]")
  endif()
endforeach()
execute_process(COMMAND "${CLI}" export "${WORK}/s.dat" --format msa --out "${WORK}/s.emsa" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "export to .emsa: ${rc}")
endif()
# --out - writes the same text to standard output.
execute_process(COMMAND "${CLI}" export "${WORK}/s.dat" --format csv --out - RESULT_VARIABLE rc OUTPUT_VARIABLE out)
file(READ "${WORK}/s.csv" written)
if(NOT rc EQUAL 0 OR NOT out STREQUAL written)
  message(FATAL_ERROR "export --out -: ${rc}")
endif()
execute_process(COMMAND "${CLI}" import "${WORK}/s.msa" --out "${WORK}/nofolder/b.dat" --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "b.dat: no such folder\n$" OR NOT out MATCHES "\"code\": \"output\"")
  message(FATAL_ERROR "import into a missing folder: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" import "${WORK}/none.msa" --out "${WORK}/b.dat" --json
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT out MATCHES "\"code\": \"not_found\"" OR EXISTS "${WORK}/b.dat")
  message(FATAL_ERROR "import of a missing file: ${rc} [${out}] [${err}]")
endif()
execute_process(COMMAND "${CLI}" import "${WORK}/s.msa" --out "${WORK}/b.txt" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 2 OR NOT out STREQUAL "")
  message(FATAL_ERROR "import to .txt: ${rc} [${out}]")
endif()
