# The module's binary contract, read back from the built module with binutils (not from the
# sources that made it). CHECK: exports, resources, imports, instructions, timestamps or size.
# Inputs: MODULE, OBJDUMP, WINDRES, MAP, MAX_BYTES.
function(fail message)
  message(FATAL_ERROR "${MODULE}: ${message}")
endfunction()

# Name:ordinal:arguments of every entry point the host may call.
set(entry_points
  GetInfos:2:1 LoadObject:6:4 UnloadObject:7:3 PutObject:8:4 RemoveObject:9:4 CreateObject:14:3
  GetHelpFileName:16:0 EditObject:18:4 GetObjectRect:19:4 IsTransparent:21:5
  PrepareToWriteObject:22:3 UpdateFileNames:23:4 Initialize:25:2 Free:26:1 UsesFile:30:2
  CreateFromFile:31:3 DuplicateObject:32:3 GetObjInfos:36:7 GetTextCaps:37:2 GetTextAlignment:38:2
  SetTextAlignment:39:3 GetTextFont:40:5 SetTextFont:41:4 GetTextClr:42:2 SetTextClr:43:3
  GetDependencies:44:0 GetFilters:45:4 CreateRunObject:50:3 DestroyRunObject:51:2
  HandleRunObject:52:1 DisplayRunObject:53:1 PauseRunObject:57:1 ContinueRunObject:58:1
  GetRunObjectInfos:59:2 GetConditionMenu:60:3 GetActionMenu:61:3 GetExpressionMenu:62:3
  GetConditionCodeFromMenu:63:2 GetActionCodeFromMenu:64:2 GetExpressionCodeFromMenu:65:2
  GetConditionString:66:4 GetActionString:67:4 GetExpressionString:68:4 InitParameter:69:3
  EditParameter:70:3 GetParameterString:71:5 GetConditionTitle:72:5 GetActionTitle:73:5
  GetExpressionTitle:74:4 GetConditionInfos:75:2 GetActionInfos:76:2 GetExpressionInfos:77:2
  UpdateEditStructure:78:2 GetRunObjectDataSize:80:2 StartApp:85:2 EndApp:86:2 StartFrame:87:3
  EndFrame:88:3 GetExpressionParam:89:5 GetProperties:100:3 ReleaseProperties:101:3
  GetPropValue:102:3 SetPropValue:103:4 IsPropEnabled:104:3 GetPropCheck:105:3 SetPropCheck:106:4
  GetPropCreateParam:107:3 ReleasePropCreateParam:108:4 EditProp:109:3 GetDebugTree:110:1
  GetDebugItem:111:3 EditDebugItem:112:2)

if(NOT CHECK STREQUAL "size")
  set(ENV{TZ} UTC)  # objdump gives the file header's time as a date
  execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
endif()

if(CHECK STREQUAL "exports")
  # Every entry point at its ordinal and nothing else, popping its arguments' bytes: the linker
  # map names the symbol at the exported address with its stdcall decoration, Name@bytes.
  string(REGEX MATCH "ImageBase[ \t]+([0-9a-fA-F]+)" _ "${dump}")
  set(image_base 0x${CMAKE_MATCH_1})
  if(NOT dump MATCHES "Ordinal Base ([0-9]+)" OR image_base STREQUAL "0x")
    fail("no export table or no image base")
  endif()
  set(base ${CMAKE_MATCH_1})
  # "[ index] +base[ordinal] rva Export RVA" and "[index] Name".
  string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] [0-9a-f]+ Export RVA" addresses "${dump}")
  foreach(line IN LISTS addresses)
    string(REGEX MATCH "\\[ *([0-9]+)\\] ([0-9a-f]+)" _ "${line}")
    set(rva_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  endforeach()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [A-Za-z_0-9@]+\n)*" names "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_0-9@]+" names "${names}")
  list(LENGTH names exported)
  list(LENGTH entry_points expected)
  if(NOT exported EQUAL expected)
    fail("exports ${exported} names, expected ${expected}")
  endif()
  foreach(entry IN LISTS entry_points)
    string(REGEX MATCH "([^:]+):([^:]+):([^:]+)" _ "${entry}")
    set(ordinal_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    set(arguments_of_${CMAKE_MATCH_1} ${CMAKE_MATCH_3})
  endforeach()
  file(READ ${MAP} map)
  foreach(line IN LISTS names)
    string(REGEX MATCH "\\[ *([0-9]+)\\] (.+)" _ "${line}")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    set(name ${CMAKE_MATCH_2})
    if(NOT DEFINED ordinal_of_${name})
      fail("exports ${name}, which is no entry point of the module")
    endif()
    if(NOT ordinal EQUAL ordinal_of_${name})
      fail("exports ${name} at ordinal ${ordinal}, expected ${ordinal_of_${name}}")
    endif()
    math(EXPR address "${image_base} + 0x${rva_of_${ordinal}}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" address "${address}")
    if(NOT map MATCHES "0x0*${address} +${name}@([0-9]+)\n")
      fail("no stdcall symbol ${name}@N at 0x${address} in ${MAP}")
    endif()
    math(EXPR bytes "4 * ${arguments_of_${name}}")
    if(NOT CMAKE_MATCH_1 EQUAL bytes)
      fail("${name} pops ${CMAKE_MATCH_1} bytes of arguments, expected ${bytes}")
    endif()
  endforeach()

elseif(CHECK STREQUAL "resources")
  # As windres decompiles them, in this order and in language 1033 (9, 1) alone: strings 1 "MF2"
  # and 2 "Quavix", and in the block of ids 992 to 1007 the texts of the buffer length property
  # (1000 its group, 1001 its name, 1002 its description), and no other; raw data 200 =
  # 16 25 08 59 (two little-endian 16-bit units); version 1: file version 1.0.0.0 and no version
  # strings besides the translation.
  execute_process(COMMAND ${WINDRES} -i ${MODULE} -O rc OUTPUT_VARIABLE rc COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\r?\n(\r?\n)*" "\n" rc "${rc}")
  string(REGEX MATCHALL "Type: [a-z]+|Name: [0-9]+|LANGUAGE [0-9, ]+" directory "${rc}")
  string(REGEX MATCHALL "STRINGTABLE\nBEGIN\n(  [^\n]*\n)*END" strings "${rc}")
  string(REGEX MATCHALL "VALUE \"[^\"]*\"" values "${rc}")
  set(expected_directory "Type: stringtable" "Name: 1" "LANGUAGE 9, 1" "Name: 63" "Type: rcdata"
    "Name: 200" "Type: version" "Name: 1")
  set(expected_strings "STRINGTABLE\nBEGIN\n  1, \"MF2\"\n  2, \"Quavix\"\nEND"
    "STRINGTABLE\nBEGIN\n  1000, \"Generator\"\n  1001, \"Buffer length\"\n  1002, \"The length in seconds of the buffer that is used for the sound generation.\"\nEND")
  if(NOT directory STREQUAL "${expected_directory}" OR NOT strings STREQUAL "${expected_strings}"
     OR NOT rc MATCHES "200 RCDATA\nBEGIN\n  L\"\\\\x2516\\\\x5908\"\nEND"
     OR NOT rc MATCHES "\n FILEVERSION 1, 0, 0, 0\n" OR NOT values STREQUAL "VALUE \"Translation\"")
    fail("resources are:\n${rc}")
  endif()

elseif(CHECK STREQUAL "imports")
  # Only Windows system DLLs, and the four MMFS2.dll functions by ordinal only.
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  string(REPLACE "DLL Name: " "" names "${names}")
  list(REMOVE_ITEM names KERNEL32.dll msvcrt.dll USER32.dll ADVAPI32.dll)
  if(NOT names STREQUAL "MMFS2.dll")
    fail("imports '${names}' besides the system DLLs, expected MMFS2.dll alone")
  endif()
  string(REGEX MATCH "DLL Name: MMFS2.dll\n[^\n]*\n([^\n]+\n)*" block "${dump}")
  string(REGEX MATCHALL "\t +[0-9]+  [^\n]*" lines "${block}")
  string(REGEX REPLACE "\t +([0-9]+)  <none>" "\\1" ordinals "${lines}")
  list(SORT ordinals COMPARE NATURAL)
  if(NOT ordinals STREQUAL "185;191;193;197")
    fail("MMFS2.dll imports '${ordinals}', expected ordinals 185;191;193;197 without names")
  endif()

elseif(CHECK STREQUAL "instructions")
  # Sounds are the same bits on every machine only while no result depends on the processor or
  # on the C runtime's version: no x87 instruction whose result is an approximation (the
  # transcendental ones, fscale and the partial remainders), no x87 arithmetic at all (it rounds
  # to extended precision first, so its double results can differ from SSE2's), and no maths
  # function taken from a system DLL. Both are what the library's x87 maths brings in (sinl,
  # powl, atan ...). Loads, stores, compares and exchanges of the stack are exact and stay: the
  # 32-bit calling convention returns floats on it.
  set(inexact fsin fcos fsincos fptan fpatan f2xm1 fyl2x fyl2xp1 fscale fprem fprem1
    fsqrt frndint fadd faddp fadds faddl fsub fsubp fsubs fsubl fsubr fsubrp fsubrs fsubrl
    fmul fmulp fmuls fmull fdiv fdivp fdivs fdivl fdivr fdivrp fdivrs fdivrl
    fiadds fiaddl fisubs fisubl fisubrs fisubrl fimuls fimull fidivs fidivl fidivrs fidivrl)
  set(maths acos asin atan atan2 cos sin tan acosh asinh atanh cosh sinh tanh exp exp2 expm1
    log log10 log1p log2 logb ilogb pow sqrt cbrt hypot _hypot erf erfc tgamma lgamma floor ceil
    trunc round lround llround rint lrint llrint nearbyint fmod remainder remquo modf frexp ldexp
    scalbn scalbln fabs fma fmax fmin fdim copysign _copysign nextafter _nextafter _chgsign _scalb
    _logb _j0 _j1 _jn _y0 _y1 _yn)
  set(faults "")
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${MODULE} OUTPUT_VARIABLE code
    COMMAND_ERROR_IS_FATAL ANY)
  if(NOT code MATCHES "\n[0-9a-f]+:\t[a-z]")
    fail("objdump -d shows no instructions")
  endif()
  # "address:<tab>mnemonic operands" with the raw bytes left out; each mnemonic's first.
  list(JOIN inexact "|" alternatives)
  string(REGEX MATCHALL "[0-9a-f]+:\t(${alternatives})[ \n]" found "${code}")
  foreach(line IN LISTS found)
    string(REGEX MATCH "^([0-9a-f]+):\t([a-z0-9]+)" _ "${line}")
    if(NOT first_${CMAKE_MATCH_2})
      set(first_${CMAKE_MATCH_2} 0x${CMAKE_MATCH_1})
      list(APPEND faults "x87 instruction ${CMAKE_MATCH_2} at ${first_${CMAKE_MATCH_2}}")
    endif()
  endforeach()
  # "DLL Name: X" then "<tab>vma<tab>  hint  name" for each function imported by name.
  string(REGEX MATCHALL "DLL Name: [^\n]+\n[^\n]*\n(\t[0-9a-f]+\t +[0-9]+  [^\n]+\n)*" blocks "${dump}")
  foreach(block IN LISTS blocks)
    string(REGEX MATCH "DLL Name: ([^\n]+)" _ "${block}")
    set(dll ${CMAKE_MATCH_1})
    string(REGEX MATCHALL "\t +[0-9]+  [^\n<]+" names "${block}")
    foreach(name IN LISTS names)
      string(REGEX REPLACE "^\t +[0-9]+  " "" name "${name}")
      string(REGEX REPLACE "[fl]$" "" base "${name}")
      list(FIND maths "${name}" as_named)
      list(FIND maths "${base}" as_variant)
      if(as_named GREATER -1 OR as_variant GREATER -1 OR name MATCHES "^_CI")
        list(APPEND faults "maths function ${name} from ${dll}")
      endif()
    endforeach()
  endforeach()
  if(faults)
    list(JOIN faults "; " faults)
    fail("results would depend on the processor or the C runtime: ${faults}")
  endif()

elseif(CHECK STREQUAL "timestamps")
  # No link time in the module, so that the same sources give the same bytes: 0 (in UTC the first
  # second of 1970) in the COFF file header and in the export directory.
  string(REGEX MATCHALL "\nTime/Date[^\n]*" stamps "${dump}")
  if(NOT stamps STREQUAL "\nTime/Date\t\tThu Jan  1 00:00:00 1970;\nTime/Date stamp \t\t0")
    fail("the link time is in the module:${stamps}")
  endif()

elseif(CHECK STREQUAL "size")
  file(SIZE ${MODULE} bytes)
  if(bytes GREATER MAX_BYTES)
    fail("${bytes} bytes, more than ${MAX_BYTES}")
  endif()

else()
  message(FATAL_ERROR "CHECK must be exports, resources, imports, instructions, timestamps or size")
endif()
