# One end-to-end case of Rungwell.exe under Wine:
#   cmake -DCASE=name -DPROGRAM=Rungwell.exe -DMESSAGES=rungwell_test_helper.exe
#         -DEMULATOR=runner;args -DWORK=folder -P CliCase.cmake
cmake_minimum_required(VERSION 3.25)

string(ASCII 26 CTRL_Z)
# Captured output may have its CRLF line ends turned into LF on the way.
set(USAGE_PATTERN "Rungwell\\.exe \\[file path\\]\r?\nthe level column is 5 \\(0 begin\\)\r?\n")

# The Windows name of a folder on this machine: Wine shows / as drive Z:.
function(windows_path out path)
  string(REPLACE "/" "\\" backslashed "${path}")
  set(${out} "Z:${backslashed}" PARENT_SCOPE)
endfunction()

# Runs the program with the given arguments in WORK (or RUN_IN, when set),
# with standard input at its end at once; sets RC, OUT and ERR.
function(run)
  if(NOT RUN_IN)
    set(RUN_IN "${WORK}")
  endif()
  file(WRITE "${WORK}/.empty-input" "")
  execute_process(
    COMMAND ${EMULATOR} "${PROGRAM}" ${ARGN}
    WORKING_DIRECTORY "${RUN_IN}"
    INPUT_FILE "${WORK}/.empty-input"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 60)
  file(REMOVE "${WORK}/.empty-input")
  set(RC "${rc}" PARENT_SCOPE)
  set(OUT "${out}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

# Runs the program with the given arguments on a console of its own, as when
# files are dropped onto it: a pseudo-terminal in tmux, on which Wine's
# console draws. Sets SCREEN to what the screen shows once the program waits
# for a key, or has ended, then presses one and sets RC.
function(run_on_console)
  # A server of its own, named for this folder: a path for its socket could
  # be longer than a socket's name may be.
  string(MD5 server "${WORK}")
  set(tmux tmux -u -L "rungwell-${server}" -f /dev/null)
  set(words)
  foreach(word IN LISTS EMULATOR ITEMS "${PROGRAM}" ${ARGN})
    list(APPEND words "'${word}'")
  endforeach()
  list(JOIN words " " command)
  # The pane stays after the program, so that what it showed can be read.
  file(WRITE "${WORK}/.console.sh" "${command}\necho $? >.status\nexec sleep 120\n")
  file(REMOVE "${WORK}/.status")
  execute_process(COMMAND ${tmux} new-session -d -x 100 -y 10 -c "${WORK}" "sh .console.sh"
    COMMAND_ERROR_IS_FATAL ANY)
  foreach(try RANGE 120)
    # Looked at before the screen, so that the screen is the final one.
    set(ended FALSE)
    if(EXISTS "${WORK}/.status")
      set(ended TRUE)
    endif()
    execute_process(COMMAND ${tmux} capture-pane -p OUTPUT_VARIABLE screen)
    if(ended OR screen MATCHES "Press any key")
      break()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.5)
  endforeach()
  execute_process(COMMAND ${tmux} send-keys Enter)
  foreach(try RANGE 120)
    if(EXISTS "${WORK}/.status")
      break()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 0.5)
  endforeach()
  execute_process(COMMAND ${tmux} kill-server ERROR_QUIET)
  set(rc "")
  if(EXISTS "${WORK}/.status")
    file(STRINGS "${WORK}/.status" rc)
  endif()
  set(SCREEN "${screen}" PARENT_SCOPE)
  set(RC "${rc}" PARENT_SCOPE)
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n  expected [${expected}]\n  actual   [${actual}]")
  endif()
endfunction()

# What Windows says for a Win32 error code, as Rungwell should say it: the
# system's sentence without its period and line end.
function(system_message out code)
  execute_process(COMMAND ${EMULATOR} "${MESSAGES}" ${code}
    OUTPUT_VARIABLE text RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc STREQUAL "0" OR text STREQUAL "")
    message(FATAL_ERROR "no system message for ${code}: [${rc}]")
  endif()
  string(REGEX REPLACE "\\.?\r?\n$" "" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Compares what the program wrote with the lines expected, whichever line
# ends they came with.
function(expect_lines what actual)
  string(REPLACE "\r\n" "\n" actual "${actual}")
  list(JOIN ARGN "\n" expected)
  expect_equal("${what}" "${actual}" "${expected}\n")
endfunction()

# Compares what the program wrote with the one line expected, which may hold
# a semicolon, whichever line end it came with.
function(expect_message what actual line)
  string(REPLACE "\r\n" "\n" actual "${actual}")
  expect_equal("${what}" "${actual}" "${line}\n")
endfunction()

# Compares a file's bytes, in hex so that CR, LF and Ctrl-Z show.
function(expect_file path expected)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "missing: ${path}")
  endif()
  file(READ "${path}" actual HEX)
  file(WRITE "${WORK}/.expected" "${expected}")
  file(READ "${WORK}/.expected" wanted HEX)
  file(REMOVE "${WORK}/.expected")
  expect_equal("bytes of ${path}" "${actual}" "${wanted}")
endfunction()

function(expect_success)
  expect_equal("exit status (stderr: ${ERR})" "${RC}" "0")
  expect_equal("standard error" "${ERR}" "")
endfunction()

# Converts input into plan.csv's copy and checks its bytes.
function(expect_conversion input expected)
  file(WRITE "${WORK}/plan.csv" "${input}")
  run(plan.csv)
  expect_success()
  expect_file("${WORK}/plan_new.csv" "${expected}")
  expect_file("${WORK}/plan.csv" "${input}")
endfunction()

function(expect_no_temporary_files)
  file(GLOB leftovers "${WORK}/.Rungwell-*")
  expect_equal("temporary files left" "${leftovers}" "")
endfunction()

# What `ls -a` shows in WORK, hidden files too.
function(listing out)
  execute_process(COMMAND ls -a "${WORK}" OUTPUT_VARIABLE entries COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# Runs the program with the given arguments in WORK, its standard input
# read from the file input and its standard output written to the file
# output, byte for byte as the program wrote them; sets RC and ERR.
function(run_with_streams input output)
  execute_process(
    COMMAND ${EMULATOR} "${PROGRAM}" ${ARGN}
    WORKING_DIRECTORY "${WORK}"
    INPUT_FILE "${input}" OUTPUT_FILE "${output}"
    RESULT_VARIABLE rc ERROR_VARIABLE err
    TIMEOUT 60)
  set(RC "${rc}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

# The names in a folder, hidden ones too, as a list in name order.
function(entries_of out folder)
  file(GLOB names RELATIVE "${folder}" "${folder}/*" "${folder}/.*")
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Converts a large plan.csv over an earlier plan_new.csv, sends the program
# signal once it is writing, and checks that the folder then holds exactly
# what it held before; sets RC and ERR.
function(interrupt_mid_write signal)
  # Seconds of writing under Wine, so that the signal comes mid-write.
  execute_process(COMMAND sh -c "yes 1,a,b,c,d,3 | head -c 300000000 >plan.csv"
    WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
  file(WRITE "${WORK}/plan_new.csv" "an earlier output\n")
  listing(before)
  execute_process(
    COMMAND sh -c [[
      signal=$1
      shift
      "$@" plan.csv </dev/null &
      pid=$!
      tries=0
      until [ -n "$(find . -maxdepth 1 -name '.Rungwell-*' -size +1M)" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ] || ! kill -0 "$pid" 2>/dev/null; then
          echo "the run was never seen writing" >&2
          kill -KILL "$pid" 2>/dev/null
          exit 1
        fi
        sleep 0.05
      done
      kill "-$signal" "$pid"
      wait "$pid"
    ]] interrupt ${signal} ${EMULATOR} "${PROGRAM}"
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE rc ERROR_VARIABLE err
    TIMEOUT 60)
  # The system removes the file as the process's handles close; under Wine
  # that is the wineserver, a moment after the process has gone.
  foreach(attempt RANGE 50)
    listing(after)
    if(after STREQUAL before)
      break()
    endif()
    execute_process(COMMAND sleep 0.1)
  endforeach()
  file(REMOVE "${WORK}/plan.csv")
  expect_equal("folder after the run (stderr: ${err})" "${after}" "${before}")
  expect_file("${WORK}/plan_new.csv" "an earlier output\n")
  set(RC "${rc}" PARENT_SCOPE)
  set(ERR "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

if(CASE STREQUAL "usage_redirected_returns_at_once")
  run()
  expect_equal("exit status" "${RC}" "0")
  if(NOT OUT MATCHES "^${USAGE_PATTERN}$")
    message(FATAL_ERROR "usage text alone: [${OUT}]")
  endif()

elseif(CASE STREQUAL "usage_on_a_console_waits_for_a_key")
  # The command interpreter's pause prints its own prompt after the usage text.
  run_on_console()
  expect_equal("exit status" "${RC}" "0")
  if(NOT SCREEN MATCHES "^Rungwell\\.exe \\[file path\\]\nthe level column is 5 \\(0 begin\\)\nPress any key")
    message(FATAL_ERROR "screen:\n${SCREEN}")
  endif()

elseif(CASE STREQUAL "help_returns_at_once")
  run("/?")
  expect_success()
  if(NOT OUT MATCHES "^${USAGE_PATTERN}\r?\n.*\nRungwell ${VERSION}\\. ")
    message(FATAL_ERROR "help: [${OUT}]")
  endif()
  # Where a key would be waited for, if anywhere.
  run_on_console("/?")
  expect_equal("exit status on the console" "${RC}" "0")
  if(NOT SCREEN MATCHES "\nRungwell ${VERSION}\\. " OR SCREEN MATCHES "Press any key")
    message(FATAL_ERROR "screen:\n${SCREEN}")
  endif()

elseif(CASE STREQUAL "several_files_and_wildcards_through_cmd")
  # cmd hands sub\*.csv on as it stands. The files that match come in name
  # order, whatever their case, after the folder as typed; blocked outputs
  # make the order show, and the others still convert.
  file(MAKE_DIRECTORY "${WORK}/sub/folder.csv")
  foreach(name B a c)
    file(WRITE "${WORK}/sub/${name}.csv" "1,a,b,c,d,2\n")
  endforeach()
  file(WRITE "${WORK}/sub/notes.txt" "")
  file(MAKE_DIRECTORY "${WORK}/sub/a_new.csv" "${WORK}/sub/B_new.csv")
  windows_path(program "${PROGRAM}")
  execute_process(
    COMMAND ${EMULATOR} cmd /c "${program}" "sub\\*.csv" missing.csv "*.xlsx"
    WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_equal("exit status" "${RC}" "1")
  system_message(denied 5)
  system_message(not_found 2)
  expect_lines("messages" "${ERR}" "Rungwell: sub\\a_new.csv: ${denied}" "Rungwell: sub\\B_new.csv: ${denied}"
    "Rungwell: missing.csv: ${not_found}" "Rungwell: *.xlsx: ${not_found}")
  expect_file("${WORK}/sub/c_new.csv" "  1,a,b,c,d,2\n")
  file(GLOB entries RELATIVE "${WORK}/sub" "${WORK}/sub/*")
  expect_equal("folder after the run" "${entries}" "B.csv;B_new.csv;a.csv;a_new.csv;c.csv;c_new.csv;folder.csv;notes.txt")

elseif(CASE STREQUAL "dropped_files_wait_once_after_all_messages")
  run_on_console(missing.csv absent.csv)
  expect_equal("exit status on the console" "${RC}" "1")
  system_message(not_found 2)
  string(REGEX MATCHALL "Press any key" waits "${SCREEN}")
  if(NOT SCREEN MATCHES "^Rungwell: missing\\.csv: ${not_found}\nRungwell: absent\\.csv: ${not_found}\nPress any key"
     OR NOT waits STREQUAL "Press any key")
    message(FATAL_ERROR "screen:\n${SCREEN}")
  endif()

elseif(CASE STREQUAL "crlf_lines_come_out_exactly")
  expect_conversion("ID,a,b,c,d,Level\r\n1,a,b,c,d,2\r\n2,a,b,c,d,3\r\n"
                    "ID,a,b,c,d,Level\r\n  1,a,b,c,d,2\r\n    2,a,b,c,d,3\r\n")

elseif(CASE STREQUAL "lf_only_file_stays_lf_only")
  expect_conversion("ID,a,b,c,d,Level\n1,a,b,c,d,2\n2,a,b,c,d,1"
                    "ID,a,b,c,d,Level\n  1,a,b,c,d,2\n2,a,b,c,d,1")

elseif(CASE STREQUAL "ctrl_z_is_an_ordinary_byte")
  expect_conversion("1,a${CTRL_Z}b,c,d,e,2\r\n${CTRL_Z}\r\n2,a,b,c,d,3\r\n"
                    "  1,a${CTRL_Z}b,c,d,e,2\r\n${CTRL_Z}\r\n    2,a,b,c,d,3\r\n")

elseif(CASE STREQUAL "files_from_windows_programs")
  # Made by printf from octal escapes, since CMake's strings hold no NUL: a
  # UTF-16LE plan as PowerShell's Out-File writes it, with Devanagari letters
  # whose code units hold the bytes of a comma, a tab and a line feed
  # (U+092C, U+090A), and a semicolon plan from Excel in cp1252 with decimal
  # commas; each beside what it must become.
  function(utf16le out text)
    set(escaped "")
    string(LENGTH "${text}" length)
    math(EXPR last "${length} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${text}" ${i} 1 c)
      if(c STREQUAL "\r")
        set(c "\\015")
      elseif(c STREQUAL "\n")
        set(c "\\012")
      endif()
      string(APPEND escaped "${c}\\000")
    endforeach()
    set(${out} "${escaped}" PARENT_SCOPE)
  endfunction()
  utf16le(header "ID,a,b,c,d,Level\r\n")
  utf16le(start "1,")
  utf16le(rest ",b,c,d,3\r\n")
  utf16le(indent "    ")
  set(letters "\\054\\011\\012\\011")
  execute_process(
    COMMAND sh -c [[
      printf "\377\376$1$2$4$3" >unicode.csv
      printf "\377\376$1$5$2$4$3" >unicode.expected
      printf '1;Umzug;x;y;z;2;7,5 Tage;9.400,75 \200\r\n' >semicolons.csv
      printf '  1;Umzug;x;y;z;2;7,5 Tage;9.400,75 \200\r\n' >semicolons.expected
    ]] sh "${header}" "${start}" "${rest}" "${letters}" "${indent}"
    WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
  run(unicode.csv semicolons.csv)
  expect_success()
  foreach(name unicode semicolons)
    file(READ "${WORK}/${name}_new.csv" actual HEX)
    file(READ "${WORK}/${name}.expected" wanted HEX)
    expect_equal("bytes of ${name}_new.csv" "${actual}" "${wanted}")
  endforeach()

elseif(CASE STREQUAL "drive_letter_and_backslash_paths")
  file(MAKE_DIRECTORY "${WORK}/dir.v2")
  file(WRITE "${WORK}/dir.v2/plan" "1,a,b,c,d,2\n")
  windows_path(argument "${WORK}/dir.v2/plan")
  run("${argument}")
  expect_success()
  expect_file("${WORK}/dir.v2/plan_new" "  1,a,b,c,d,2\n")

elseif(CASE STREQUAL "relative_backslash_path")
  file(MAKE_DIRECTORY "${WORK}/sub")
  file(WRITE "${WORK}/sub/report.final.csv" "1,a,b,c,d,3\n")
  run("sub\\report.final.csv")
  expect_success()
  expect_file("${WORK}/sub/report.final_new.csv" "    1,a,b,c,d,3\n")

elseif(CASE STREQUAL "replaces_an_earlier_output")
  file(WRITE "${WORK}/plan_new.csv" "an earlier and longer output\n")
  expect_conversion("1,a,b,c,d,2\n" "  1,a,b,c,d,2\n")
  expect_no_temporary_files()
  # The unfinished file was hidden; the output must not be.
  execute_process(COMMAND ${EMULATOR} attrib plan_new.csv WORKING_DIRECTORY "${WORK}" OUTPUT_VARIABLE attributes)
  if(NOT attributes MATCHES "plan_new\\.csv" OR attributes MATCHES "^[^:]*H")
    message(FATAL_ERROR "attributes of the output: [${attributes}]")
  endif()

elseif(CASE STREQUAL "output_that_cannot_be_replaced")
  # A folder and a read-only file each fail in Windows' words before anything
  # is read: the input is a FIFO that is held open and never written to, so
  # a single read would wait until the case's timeout.
  execute_process(COMMAND mkfifo plan.csv WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(blocker folder read-only)
    if(blocker STREQUAL "folder")
      file(MAKE_DIRECTORY "${WORK}/plan_new.csv")
    else()
      file(REMOVE_RECURSE "${WORK}/plan_new.csv")
      file(WRITE "${WORK}/plan_new.csv" "an earlier output\n")
      file(CHMOD "${WORK}/plan_new.csv" PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
    endif()
    listing(before)
    execute_process(
      COMMAND sh -c [[exec 3<>plan.csv; exec "$@" plan.csv]] run ${EMULATOR} "${PROGRAM}"
      WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
      RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
    expect_equal("exit status with a ${blocker} in the way" "${RC}" "1")
    # Windows refuses to replace either with ERROR_ACCESS_DENIED.
    system_message(denied 5)
    expect_lines("message for a ${blocker} in the way" "${ERR}" "Rungwell: plan_new.csv: ${denied}")
    listing(after)
    expect_equal("folder after a ${blocker} in the way" "${after}" "${before}")
  endforeach()
  expect_file("${WORK}/plan_new.csv" "an earlier output\n")

elseif(CASE STREQUAL "output_that_cannot_be_made")
  # 254 characters make a name; with _new it passes the 255 that one may have.
  string(REPEAT "p" 250 stem)
  file(WRITE "${WORK}/${stem}.csv" "1,a,b,c,d,2\n")
  listing(before)
  run("${stem}.csv")
  expect_equal("exit status" "${RC}" "1")
  if(NOT ERR MATCHES "^Rungwell: ${stem}_new\\.csv: [^\r\n]+\r?\n$")
    message(FATAL_ERROR "message: [${ERR}]")
  endif()
  listing(after)
  expect_equal("folder after the run" "${after}" "${before}")

elseif(CASE STREQUAL "killed_mid_write_leaves_nothing")
  interrupt_mid_write(KILL)
  expect_equal("exit status (stderr: ${ERR})" "${RC}" "137")

elseif(CASE STREQUAL "ctrl_c_mid_write_leaves_nothing")
  # Wine turns SIGINT, as a terminal sends it for Ctrl-C, into the console's
  # Ctrl-C event, which the system's default handler answers by ending the
  # process. Windows gives that exit STATUS_CONTROL_C_EXIT, 0xC000013A, of
  # which Wine hands on the low byte, 58; Wine 8 ends with 0 instead.
  interrupt_mid_write(INT)
  if(NOT RC MATCHES "^(58|0)$")
    message(FATAL_ERROR "exit status after Ctrl-C: [${RC}] (stderr: ${ERR})")
  endif()
  expect_equal("standard error" "${ERR}" "")

elseif(CASE STREQUAL "drive_relative_input")
  # Drive Y: is this folder, and the program runs in /proc, on drive Z:,
  # where not even root can make a file: Y:plan.csv is the file in the
  # current directory of Y:, its root, and so is everything written for it.
  list(GET EMULATOR 1 prefix)
  set(drive "${prefix}/dosdevices/y:")
  file(REMOVE "${drive}")
  file(CREATE_LINK "${WORK}" "${drive}" SYMBOLIC)
  file(WRITE "${WORK}/plan.csv" "1,a,b,c,d,2\n")
  set(RUN_IN /proc)
  run("Y:plan.csv")
  file(REMOVE "${drive}")
  expect_success()
  expect_file("${WORK}/plan_new.csv" "  1,a,b,c,d,2\n")
  expect_no_temporary_files()

elseif(CASE STREQUAL "paths_longer_than_max_path")
  # Short names in nested folders: over 300 characters in all, past the 260
  # of MAX_PATH, which no single name comes near.
  set(folder "${WORK}")
  foreach(level RANGE 1 6)
    string(APPEND folder "/a-folder-whose-name-has-forty-characters-${level}")
  endforeach()
  file(MAKE_DIRECTORY "${folder}")
  file(WRITE "${folder}/plan.csv" "1,a,b,c,d,2\n")
  windows_path(argument "${folder}/plan.csv")
  run("${argument}")
  expect_success()
  expect_file("${folder}/plan_new.csv" "  1,a,b,c,d,2\n")
  file(GLOB entries RELATIVE "${folder}" "${folder}/*" "${folder}/.*")
  expect_equal("files beside the output" "${entries}" "plan.csv;plan_new.csv")

elseif(CASE STREQUAL "non_ascii_file_name")
  # Greek and Cyrillic letters, in no single ANSI code page together.
  set(name "πλάνο-план.csv")
  file(WRITE "${WORK}/${name}" "1,a,b,c,d,2\n")
  run("${name}")
  expect_success()
  expect_file("${WORK}/πλάνο-план_new.csv" "  1,a,b,c,d,2\n")

elseif(CASE STREQUAL "message_names_a_file_in_any_script")
  # Cyrillic and CJK: no console code page shows both.
  system_message(not_found 2)
  foreach(name "ошибка.csv" "計画.csv")
    # Redirected, the bytes stay the UTF-8 of the command line.
    run("${name}")
    expect_equal("exit status" "${RC}" "1")
    expect_lines("redirected message" "${ERR}" "Rungwell: ${name}: ${not_found}")
    run_on_console("${name}")
    expect_equal("exit status on the console" "${RC}" "1")
    if(NOT SCREEN MATCHES "^Rungwell: ${name}: ${not_found}\nPress any key")
      message(FATAL_ERROR "screen:\n${SCREEN}")
    endif()
  endforeach()

elseif(CASE STREQUAL "usage_on_a_full_disk_fails")
  execute_process(
    COMMAND ${EMULATOR} "${PROGRAM}"
    WORKING_DIRECTORY "${WORK}"
    INPUT_FILE /dev/null OUTPUT_FILE /dev/full
    RESULT_VARIABLE rc ERROR_VARIABLE err
    TIMEOUT 60)
  expect_equal("exit status" "${rc}" "1")
  # The C runtime's ENOSPC, in the words Windows has for a full disk.
  system_message(disk_full 112)
  expect_lines("message" "${err}" "Rungwell: standard output: ${disk_full}")

elseif(CASE STREQUAL "version_resource_holds_the_project_version")
  # What Explorer's Properties shows.
  execute_process(
    COMMAND wrestool --extract --raw --type=version "${PROGRAM}"
    OUTPUT_FILE "${WORK}/version.res"
    COMMAND_ERROR_IS_FATAL ANY)
  # Its strings are UTF-16: keys and values come out one a line.
  execute_process(COMMAND strings --encoding=l "${WORK}/version.res" OUTPUT_VARIABLE strings)
  foreach(field "FileVersion\n${VERSION}" "ProductVersion\n${VERSION}" "ProductName\nRungwell"
                "OriginalFilename\nRungwell.exe")
    if(NOT strings MATCHES "\n${field}\n")
      message(FATAL_ERROR "no ${field} in:\n${strings}")
    endif()
  endforeach()
  # The numbers Explorer shows as "File version": for file and product, the
  # words major << 16 | minor and patch << 16 | 0, after the fixed part's
  # signature and structure version; all of it in little-endian.
  file(READ "${WORK}/version.res" resource HEX)
  string(REPLACE "." ";" numbers "${VERSION}.0")
  set(halves "")
  foreach(index 1 0 3 2)
    list(GET numbers ${index} number)
    # 256 more keeps a leading zero: 0x1hh.
    math(EXPR low "${number} % 256 + 256" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR high "${number} / 256 + 256" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${low}" 3 2 low)
    string(SUBSTRING "${high}" 3 2 high)
    string(APPEND halves "${low}${high}")
  endforeach()
  if(NOT resource MATCHES "bd04effe00000100${halves}${halves}")
    message(FATAL_ERROR "no fixed version ${VERSION} in ${resource}")
  endif()

elseif(CASE STREQUAL "options_choose_column_and_separator")
  # Plans of four columns, as Excel saves them where the list separator is
  # ';': the level is the third field, where the usual sixth is missing.
  set(rows "1;Office move;1;Ana\r\n1.1;Choose the site;2;Ana\r\n1.1.1;Visit sites;3;Lee\r\n")
  set(indented "1;Office move;1;Ana\r\n  1.1;Choose the site;2;Ana\r\n    1.1.1;Visit sites;3;Lee\r\n")
  # By its index: the header's semicolons tell the separator.
  file(WRITE "${WORK}/by-index.csv" "WBS;Task;Level;Owner\r\n${rows}")
  run(-c 2 by-index.csv)
  expect_success()
  expect_file("${WORK}/by-index_new.csv" "WBS;Task;Level;Owner\r\n${indented}")
  # By its name, whose field the header has under the semicolon only.
  file(WRITE "${WORK}/by-name.csv" "WBS;Task;Level;Owner\r\n${rows}")
  run(--level-column Level by-name.csv)
  expect_success()
  expect_file("${WORK}/by-name_new.csv" "WBS;Task;Level;Owner\r\n${indented}")
  # The last name of a CRLF header, given in other letters: the CR before
  # the line's LF is no part of the name.
  file(WRITE "${WORK}/named-last.csv" "WBS;Task;Owner;Level\r\n1;Move;Ana;1\r\n1.1;Pack;Lee;2\r\n")
  run(--level-column=LEVEL named-last.csv)
  expect_success()
  expect_file("${WORK}/named-last_new.csv" "WBS;Task;Owner;Level\r\n1;Move;Ana;1\r\n  1.1;Pack;Lee;2\r\n")
  # Excel quotes no comma in a ';' file, so a first line with two commas
  # would be taken for a comma-separated one: -d says otherwise.
  set(excel "1;Desks, chairs, phones;1;Ana\r\n1.1;Cabling, floor 1;2;Contractor\r\n")
  file(WRITE "${WORK}/separator.csv" "${excel}")
  # Run here, not through run(), so that the ';' stays one argument.
  execute_process(
    COMMAND ${EMULATOR} "${PROGRAM}" -d ";" -c 2 separator.csv
    WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_success()
  expect_file("${WORK}/separator_new.csv" "1;Desks, chairs, phones;1;Ana\r\n  1.1;Cabling, floor 1;2;Contractor\r\n")
  # The inputs are as they were.
  expect_file("${WORK}/by-index.csv" "WBS;Task;Level;Owner\r\n${rows}")
  expect_file("${WORK}/by-name.csv" "WBS;Task;Level;Owner\r\n${rows}")
  expect_file("${WORK}/separator.csv" "${excel}")
  expect_no_temporary_files()

elseif(CASE STREQUAL "levels_where_exports_keep_them")
  # Excel in a German locale: the level where the first line names it, past
  # a date in the sixth field; one line on standard error says so.
  set(german "Nr.;Name;Anfang;Dauer;Vorg;Ende;Gliederungsebene\r\n1;Umzug;04.01.2027;60;;26.03.2027;1\r\n2;Standort;04.01.2027;7;;13.01.2027;2\r\n")
  file(WRITE "${WORK}/german.csv" "${german}")
  run(german.csv)
  expect_equal("exit status" "${RC}" "0")
  expect_message("the note" "${ERR}" "Rungwell: german.csv: the levels are read from column 6, \"Gliederungsebene\", as the first line names it (--level-column 5 reads column 5)")
  expect_file("${WORK}/german_new.csv" "Nr.;Name;Anfang;Dauer;Vorg;Ende;Gliederungsebene\r\n1;Umzug;04.01.2027;60;;26.03.2027;1\r\n  2;Standort;04.01.2027;7;;13.01.2027;2\r\n")
  # Outline numbers, asked for.
  file(WRITE "${WORK}/wbs.csv" "1,Move\r\n1.1,Pack\r\n1.1.2,Label\r\n")
  run(--outline-numbers -c 0 wbs.csv)
  expect_success()
  expect_file("${WORK}/wbs_new.csv" "1,Move\r\n  1.1,Pack\r\n    1.1.2,Label\r\n")
  # Cells that go on over lines, as Alt+Enter makes them in Excel: only a
  # record's first line is indented.
  set(cells "ID,Task,Owner,Start,Finish,Level\r\n2,\"Visit sites\nnorth, east, harbour, old town, 3 more\",a,b,c,3\r\n")
  file(WRITE "${WORK}/cells.csv" "${cells}")
  run(--multiline cells.csv)
  expect_success()
  expect_file("${WORK}/cells_new.csv" "ID,Task,Owner,Start,Finish,Level\r\n    2,\"Visit sites\nnorth, east, harbour, old town, 3 more\",a,b,c,3\r\n")
  expect_no_temporary_files()

elseif(CASE STREQUAL "standard_input_to_standard_output")
  # Standard input and output must be binary: CR LF stays CR LF, an LF alone
  # does not become CR LF, and Ctrl-Z does not end the input.
  set(plan "ID,Task,Owner,Start,Finish,Level\r\n1,Office move,Ana,a,b,1\r\n2,Choose${CTRL_Z}the site,Ana,a,b,2\r\n3,Visit sites,Lee,a,b,3\r\n4,Book the van,Lee,a,b,2\n")
  set(expected "ID,Task,Owner,Start,Finish,Level\r\n1,Office move,Ana,a,b,1\r\n  2,Choose${CTRL_Z}the site,Ana,a,b,2\r\n    3,Visit sites,Lee,a,b,3\r\n  4,Book the van,Lee,a,b,2\n")
  file(WRITE "${WORK}/plan.csv" "${plan}")
  run_with_streams("${WORK}/plan.csv" "${WORK}/converted.csv" -)
  expect_success()
  expect_file("${WORK}/converted.csv" "${expected}")
  entries_of(entries "${WORK}")
  expect_equal("folder after the run" "${entries}" "converted.csv;plan.csv")
  # Through a pipe, which is not read again as a file is.
  execute_process(
    COMMAND cat plan.csv
    COMMAND ${EMULATOR} "${PROGRAM}" -
    WORKING_DIRECTORY "${WORK}" OUTPUT_FILE "${WORK}/piped.csv"
    RESULTS_VARIABLE RC ERROR_VARIABLE ERR TIMEOUT 60)
  expect_equal("exit statuses through a pipe (stderr: ${ERR})" "${RC}" "0;0")
  expect_equal("standard error through a pipe" "${ERR}" "")
  expect_file("${WORK}/piped.csv" "${expected}")
  # From where the input stands: the header already read by another program.
  execute_process(
    COMMAND sh -c [[{ head -n 1 >/dev/null; exec "$@" -; } <plan.csv]] run ${EMULATOR} "${PROGRAM}"
    WORKING_DIRECTORY "${WORK}" OUTPUT_FILE "${WORK}/rest.csv"
    RESULT_VARIABLE RC ERROR_VARIABLE ERR TIMEOUT 60)
  expect_success()
  string(REPLACE "ID,Task,Owner,Start,Finish,Level\r\n" "" rest "${expected}")
  expect_file("${WORK}/rest.csv" "${rest}")
  # Redirected by cmd, which opens both files as Windows does.
  windows_path(program "${PROGRAM}")
  execute_process(
    COMMAND ${EMULATOR} cmd /c "${program}" - < plan.csv > cmd.csv
    WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_success()
  expect_equal("standard output of cmd" "${OUT}" "")
  expect_file("${WORK}/cmd.csv" "${expected}")
  # To a file named by -o, with nothing on standard output.
  file(REMOVE "${WORK}/converted.csv" "${WORK}/piped.csv" "${WORK}/rest.csv" "${WORK}/cmd.csv")
  run_with_streams("${WORK}/plan.csv" "${WORK}/stdout.txt" -o out.csv -)
  expect_success()
  expect_file("${WORK}/out.csv" "${expected}")
  expect_file("${WORK}/stdout.txt" "")
  expect_file("${WORK}/plan.csv" "${plan}")
  entries_of(entries "${WORK}")
  expect_equal("folder after the run with -o" "${entries}" "out.csv;plan.csv;stdout.txt")

elseif(CASE STREQUAL "output_to_a_drive_letter_path")
  set(plan "ID,a,b,c,d,Level\r\n1,a,b,c,d,2\r\n2,a,b,c,d,3\r\n")
  set(expected "ID,a,b,c,d,Level\r\n  1,a,b,c,d,2\r\n    2,a,b,c,d,3\r\n")
  file(MAKE_DIRECTORY "${WORK}/in" "${WORK}/out")
  file(WRITE "${WORK}/in/plan.csv" "${plan}")
  # The output named in full, in another folder, by the same name.
  windows_path(output "${WORK}/out/plan.csv")
  set(RUN_IN "${WORK}/in")
  run(-o "${output}" plan.csv)
  expect_success()
  expect_equal("standard output" "${OUT}" "")
  expect_file("${WORK}/out/plan.csv" "${expected}")
  expect_file("${WORK}/in/plan.csv" "${plan}")
  entries_of(entries "${WORK}/out")
  expect_equal("the output's folder" "${entries}" "plan.csv")
  entries_of(entries "${WORK}/in")
  expect_equal("the input's folder" "${entries}" "plan.csv")
  # Replaced as any earlier output is.
  file(WRITE "${WORK}/out/plan.csv" "an earlier and longer output\r\n")
  run("--output=${output}" plan.csv)
  expect_success()
  expect_file("${WORK}/out/plan.csv" "${expected}")
  # To standard output, with the input named by its drive letter.
  windows_path(input "${WORK}/in/plan.csv")
  run_with_streams(/dev/null "${WORK}/stdout.csv" -o - "${input}")
  expect_success()
  expect_file("${WORK}/stdout.csv" "${expected}")
  expect_file("${WORK}/in/plan.csv" "${plan}")
  entries_of(entries "${WORK}/in")
  expect_equal("the input's folder after -o -" "${entries}" "plan.csv")

elseif(CASE STREQUAL "command_line_mistakes")
  foreach(name plan a b)
    file(WRITE "${WORK}/${name}.csv" "1,a,b,c,d,3\r\n")
  endforeach()
  # An earlier run's output, which a misspelt option once replaced.
  file(WRITE "${WORK}/plan_new.csv" "  1,a,b,c,d,2\r\n")
  listing(before)
  # Each: the arguments, then what is wrong with them.
  set(mistakes
    "plan.csv|-c" "option -c needs a value"
    "--level-column=|plan.csv" "option --level-column has an empty value"
    "-o|x.csv|a.csv|b.csv" "option -o takes one file, and 2 were given"
    "-d|ab|plan.csv" "option -d takes one character, or tab, not \"ab\""
    # A wildcard that Windows hands on as it stands, found to be two files.
    "-o|x.csv|?.csv" "option -o takes one file, and 2 were given"
    "--level_column|7|plan.csv" "unknown option --level_column (did you mean --level-column?)"
    "-C|7|plan.csv" "unknown option -C (did you mean -c?)"
    "--column|7|plan.csv" "unknown option --column"
    "--levelcolumn=7|plan.csv" "unknown option --levelcolumn (did you mean --level-column?)"
    "-x|plan.csv" "unknown option -x"
    "-c|-1|plan.csv" "option -c takes a column from 0 to 65535, not -1")
  list(LENGTH mistakes count)
  math(EXPR last "${count} - 1")
  foreach(at RANGE 0 ${last} 2)
    list(GET mistakes ${at} arguments)
    math(EXPR next "${at} + 1")
    list(GET mistakes ${next} what)
    string(REPLACE "|" ";" arguments "${arguments}")
    run(${arguments})
    expect_equal("exit status for ${arguments} (stderr: ${ERR})" "${RC}" "2")
    expect_equal("standard output for ${arguments}" "${OUT}" "")
    expect_message("message for ${arguments}" "${ERR}" "Rungwell: ${what}; Rungwell --help lists the options")
    listing(after)
    expect_equal("folder after ${arguments}" "${after}" "${before}")
    expect_file("${WORK}/plan_new.csv" "  1,a,b,c,d,2\r\n")
  endforeach()

elseif(CASE STREQUAL "output_that_is_the_input")
  set(plan "ID,a,b,c,d,Level\r\n1,a,b,c,d,2\r\n")
  file(WRITE "${WORK}/plan.csv" "${plan}")
  listing(before)
  windows_path(full "${WORK}/plan.csv")
  # The same file by its own name, by a drive-letter path, and in other
  # letters, which name the same file on Windows.
  foreach(output plan.csv "${full}" PLAN.CSV)
    run(-o "${output}" plan.csv)
    expect_equal("exit status for -o ${output} (stderr: ${ERR})" "${RC}" "1")
    expect_message("message for -o ${output}" "${ERR}"
      "Rungwell: ${output}: is the input itself; the output must go to another file")
    expect_file("${WORK}/plan.csv" "${plan}")
    listing(after)
    expect_equal("folder after -o ${output}" "${after}" "${before}")
  endforeach()
  # Standard input, when it is that file: redirected by cmd, as on Windows.
  # (Wine gives a handle it inherits from Linux no volume, so that the file
  # behind it cannot be told; cmd opens the file as Windows does.)
  windows_path(program "${PROGRAM}")
  execute_process(
    COMMAND ${EMULATOR} cmd /c "${program}" -o plan.csv - < plan.csv
    WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_equal("exit status for standard input (stderr: ${ERR})" "${RC}" "1")
  expect_equal("standard output for standard input" "${OUT}" "")
  expect_message("message for standard input" "${ERR}"
    "Rungwell: plan.csv: is the input itself; the output must go to another file")
  expect_file("${WORK}/plan.csv" "${plan}")
  listing(after)
  expect_equal("folder after standard input" "${after}" "${before}")
  # Standard output appended to the input, by cmd: the run would read its own output.
  execute_process(
    COMMAND ${EMULATOR} cmd /c "${program}" -o - plan.csv >> plan.csv
    WORKING_DIRECTORY "${WORK}" INPUT_FILE /dev/null
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_equal("exit status for standard output (stderr: ${ERR})" "${RC}" "1")
  expect_message("message for standard output" "${ERR}"
    "Rungwell: standard output: is the input itself; the output must go to another file")
  expect_file("${WORK}/plan.csv" "${plan}")

elseif(CASE STREQUAL "output_that_is_a_device")
  # NUL, the usual way to throw output away, takes it and stays a device:
  # no file of that name, or any other, appears.
  file(WRITE "${WORK}/plan.csv" "1,a,b,c,d,2\n")
  listing(before)
  foreach(device NUL nul)
    run(-o ${device} plan.csv)
    expect_success()
    expect_equal("standard output for -o ${device}" "${OUT}" "")
    listing(after)
    expect_equal("folder after -o ${device}" "${after}" "${before}")
  endforeach()
  # A named pipe gets every byte, through the writer thread too: a helper is
  # its server, and keeps what came. The program starts once it waits.
  execute_process(COMMAND sh -c [[
      yes 1,a,b,c,d,3 | head -n 200000 >large.csv
      yes '    1,a,b,c,d,3' | head -n 200000 >large.expected
    ]] WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(
    COMMAND sh -c [[
      helper=$1
      program=$2
      shift 2
      "$@" "$helper" pipe rungwell-test received.csv ready &
      server=$!
      tries=0
      until [ -e ready ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ]; then
          echo "the pipe's server never started" >&2
          exit 1
        fi
        sleep 0.05
      done
      "$@" "$program" -o '\\.\pipe\rungwell-test' large.csv
      status=$?
      wait "$server" || echo "the pipe's server failed" >&2
      exit "$status"
    ]] serve "${MESSAGES}" "${PROGRAM}" ${EMULATOR}
    WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE RC OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR TIMEOUT 60)
  expect_success()
  execute_process(COMMAND cmp received.csv large.expected WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE differ)
  expect_equal("bytes the pipe's server received" "${differ}" "0")
  # A pipe that no server offers fails in Windows' words, and leaves nothing.
  file(REMOVE "${WORK}/ready" "${WORK}/received.csv" "${WORK}/large.csv" "${WORK}/large.expected")
  listing(before)
  set(nobody [[\\.\pipe\rungwell-nobody]])
  run(-o "${nobody}" plan.csv)
  expect_equal("exit status for a pipe with no server" "${RC}" "1")
  system_message(not_found 2)
  expect_message("message for a pipe with no server" "${ERR}" "Rungwell: ${nobody}: ${not_found}")
  listing(after)
  expect_equal("folder after a pipe with no server" "${after}" "${before}")

elseif(CASE STREQUAL "files_that_look_like_options")
  # A file whose name starts with - after --, or with the folder in front;
  # an argument that starts with / is a path (here on drive Z:, as Wine
  # shows /), and /? alone the help.
  foreach(name -x -y slash)
    file(WRITE "${WORK}/${name}.csv" "1,a,b,c,d,2\r\n")
  endforeach()
  run(-- -x.csv ".\\-y.csv" "${WORK}/slash.csv")
  expect_success()
  foreach(name -x -y slash)
    expect_file("${WORK}/${name}_new.csv" "  1,a,b,c,d,2\r\n")
  endforeach()

elseif(CASE STREQUAL "output_folder_with_wildcards")
  foreach(name a b)
    file(WRITE "${WORK}/${name}.csv" "1,a,b,c,d,2\r\n")
  endforeach()
  # A folder written with its separator, one that exists without it, and
  # one written with it that does not exist: each file fails.
  file(MAKE_DIRECTORY "${WORK}/out" "${WORK}/existing")
  # A backslash before a list's next item would join the two: the folder
  # goes last.
  run("*.csv" -o "out\\")
  expect_success()
  run(--output=existing "*.csv")
  expect_success()
  foreach(folder out existing)
    entries_of(entries "${WORK}/${folder}")
    expect_equal("${folder} after the run" "${entries}" "a_new.csv;b_new.csv")
    expect_file("${WORK}/${folder}/a_new.csv" "  1,a,b,c,d,2\r\n")
  endforeach()
  listing(before)
  run("*.csv" -o "missing\\")
  expect_equal("exit status into a missing folder" "${RC}" "1")
  # Windows says the path is not found; Wine, that the file is not.
  system_message(no_path 3)
  system_message(no_file 2)
  string(REPLACE "\r\n" "\n" ERR "${ERR}")
  if(NOT ERR MATCHES "^Rungwell: missing\\\\a_new\\.csv: (${no_path}|${no_file})\nRungwell: missing\\\\b_new\\.csv: (${no_path}|${no_file})\n$")
    message(FATAL_ERROR "messages for a missing folder: [${ERR}]")
  endif()
  listing(after)
  expect_equal("folder after a missing folder" "${after}" "${before}")

elseif(CASE STREQUAL "second_wildcard_run_skips_the_first_runs_outputs")
  file(WRITE "${WORK}/plan.csv" "1,a,b,c,d,2\r\n")
  run("*.csv")
  expect_success()
  run("*.csv")
  expect_equal("exit status of the second run" "${RC}" "0")
  expect_lines("note of the second run" "${ERR}"
    "Rungwell: plan_new.csv: skipped: it is the output of plan.csv in this run")
  entries_of(entries "${WORK}")
  expect_equal("folder after two runs" "${entries}" "plan.csv;plan_new.csv")
  expect_file("${WORK}/plan_new.csv" "  1,a,b,c,d,2\r\n")
  # Named in other letters, it is the same file.
  run(plan.csv PLAN_New.CSV)
  expect_equal("exit status with the output in other letters" "${RC}" "0")
  expect_lines("note with the output in other letters" "${ERR}"
    "Rungwell: PLAN_New.CSV: skipped: it is the output of plan.csv in this run")
  entries_of(entries "${WORK}")
  expect_equal("folder after the output in other letters" "${entries}" "plan.csv;plan_new.csv")
  # So it is where the output is not there yet.
  file(REMOVE "${WORK}/plan_new.csv")
  run(plan.csv PLAN_New.CSV)
  expect_equal("exit status with a new output in other letters" "${RC}" "0")
  expect_lines("note with a new output in other letters" "${ERR}"
    "Rungwell: PLAN_New.CSV: skipped: it is the output of plan.csv in this run")
  entries_of(entries "${WORK}")
  expect_equal("folder after a new output in other letters" "${entries}" "plan.csv;plan_new.csv")

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
