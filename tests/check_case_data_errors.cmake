# Feeds case-data-builder broken copies of the Unicode files: each run must
# fail, name the file and line at fault, and write nothing.
file(REMOVE_RECURSE "${WORK}")

function(expect_failure name folder expected_message)
  set(out "${WORK}/${name}-out")
  file(MAKE_DIRECTORY "${out}")
  execute_process(COMMAND "${TOOL}" "${folder}" "${out}"
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE message)
  if(status EQUAL 0)
    message(FATAL_ERROR "${name}: the builder succeeded")
  endif()
  string(FIND "${message}" "${expected_message}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${name}: expected a message with '${expected_message}', got '${message}'")
  endif()
  file(GLOB written "${out}/*")
  if(written)
    message(FATAL_ERROR "${name}: the builder left ${written}")
  endif()
endfunction()

# A copy of the input in which `file_name` has `line` inserted as line 2.
function(broken_copy name file_name line)
  set(folder "${WORK}/${name}")
  file(MAKE_DIRECTORY "${folder}")
  foreach(each UnicodeData.txt DerivedCoreProperties.txt SpecialCasing.txt)
    file(COPY "${INPUT}/${each}" DESTINATION "${folder}")
  endforeach()
  file(READ "${INPUT}/${file_name}" content)
  string(FIND "${content}" "\n" first_end)
  math(EXPR rest_start "${first_end} + 1")
  string(SUBSTRING "${content}" 0 ${rest_start} head)
  string(SUBSTRING "${content}" ${rest_start} -1 tail)
  file(WRITE "${folder}/${file_name}" "${head}${line}\n${tail}")
endfunction()

expect_failure(missing "${WORK}/no-such-folder" "no-such-folder/UnicodeData.txt: cannot be read")

broken_copy(short_line UnicodeData.txt "0001;<control>;Cc")
expect_failure(short_line "${WORK}/short_line" "UnicodeData.txt:2: expected 15 fields")

broken_copy(bad_mapping UnicodeData.txt "0001;X;Cc;0;BN;;;;;N;;;;Z041;")
expect_failure(bad_mapping "${WORK}/bad_mapping" "UnicodeData.txt:2: bad simple lowercase mapping")

broken_copy(bad_range DerivedCoreProperties.txt "0041..G000 ; Cased")
expect_failure(bad_range "${WORK}/bad_range" "DerivedCoreProperties.txt:2: bad code point range")

broken_copy(new_full_mapping SpecialCasing.txt "00C0; 0061 0300; 00C0; 00C0; # a full mapping besides U+0130")
expect_failure(new_full_mapping "${WORK}/new_full_mapping" "SpecialCasing.txt:2: the full lowercase mapping of U+00C0")

broken_copy(new_context SpecialCasing.txt "0049; 0131; 0049; 0049; Not_Before_Dot; # a context for every language")
expect_failure(new_context "${WORK}/new_context" "SpecialCasing.txt:2: unexpected context-dependent lowercase mapping of U+0049")

message(STATUS "case-data-builder refuses every broken input")
