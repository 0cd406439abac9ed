# Reads the binary contract back from the built module with binutils, not
# from the sources that made it. CHECK selects what is checked:
#   exports    every entry point at its ordinal and nothing else, and the
#              argument bytes of each stdcall entry point (the decorated name
#              in the linker map at the exported address: Name@bytes);
#   resources  string 1 "MF2", string 2 "Quavix", raw data 200 = 16 25 08 59
#              and version 1 (file version 1.0.0.0, no version strings), all
#              in language 1033;
#   size       the stripped module below MAX_BYTES.
# Inputs: MODULE, OBJDUMP, WINDRES, MAP, MAX_BYTES, SCRATCH.

function(fail message)
  message(FATAL_ERROR "${MODULE}: ${message}")
endfunction()

function(run_tool out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("'${ARGN}' failed: ${errors}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Name:ordinal:arguments of every entry point the host may call.
set(entry_points
  GetInfos:2:1 LoadObject:6:4 UnloadObject:7:3 PutObject:8:4
  RemoveObject:9:4 CreateObject:14:3 GetHelpFileName:16:0 EditObject:18:4
  GetObjectRect:19:4 IsTransparent:21:5 PrepareToWriteObject:22:3 UpdateFileNames:23:4
  Initialize:25:2 Free:26:1 UsesFile:30:2 CreateFromFile:31:3
  DuplicateObject:32:3 GetObjInfos:36:7 GetTextCaps:37:2 GetTextAlignment:38:2
  SetTextAlignment:39:3 GetTextFont:40:5 SetTextFont:41:4 GetTextClr:42:2
  SetTextClr:43:3 GetDependencies:44:0 GetFilters:45:4 CreateRunObject:50:3
  DestroyRunObject:51:2 HandleRunObject:52:1 DisplayRunObject:53:1 PauseRunObject:57:1
  ContinueRunObject:58:1 GetRunObjectInfos:59:2 GetConditionMenu:60:3 GetActionMenu:61:3
  GetExpressionMenu:62:3 GetConditionCodeFromMenu:63:2 GetActionCodeFromMenu:64:2
  GetExpressionCodeFromMenu:65:2 GetConditionString:66:4 GetActionString:67:4
  GetExpressionString:68:4 InitParameter:69:3 EditParameter:70:3 GetParameterString:71:5
  GetConditionTitle:72:5 GetActionTitle:73:5 GetExpressionTitle:74:4 GetConditionInfos:75:2
  GetActionInfos:76:2 GetExpressionInfos:77:2 UpdateEditStructure:78:2
  GetRunObjectDataSize:80:2 StartApp:85:2 EndApp:86:2 StartFrame:87:3 EndFrame:88:3
  GetExpressionParam:89:5 GetProperties:100:3 ReleaseProperties:101:3 GetPropValue:102:3
  SetPropValue:103:4 IsPropEnabled:104:3 GetPropCheck:105:3 SetPropCheck:106:4
  GetPropCreateParam:107:3 ReleasePropCreateParam:108:4 EditProp:109:3 GetDebugTree:110:1
  GetDebugItem:111:3 EditDebugItem:112:2)

if(CHECK STREQUAL "exports")
  run_tool(dump ${OBJDUMP} -p ${MODULE})
  if(NOT dump MATCHES "Ordinal Base ([0-9]+)")
    fail("no export table")
  endif()
  set(base ${CMAKE_MATCH_1})
  if(NOT dump MATCHES "ImageBase[ \t]+([0-9a-fA-F]+)")
    fail("no image base")
  endif()
  math(EXPR image_base "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
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
    string(REPLACE ":" ";" fields "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 ordinal_of_${name})
    list(GET fields 2 arguments_of_${name})
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
    # The linker map names the symbol at the exported address with its stdcall
    # decoration: the bytes of arguments the function pops.
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
  message(STATUS "${exported} entry points at their ordinals with their argument sizes")

elseif(CHECK STREQUAL "resources")
  # Types, names and languages from the resource directory.
  run_tool(dump ${OBJDUMP} -p ${MODULE})
  string(REGEX MATCHALL "Entry: ID: 0x[0-9a-f]+" ids "${dump}")
  string(REPLACE "Entry: ID: " "" ids "${ids}")
  # type, name, language for each of the three resources, in directory order.
  if(NOT ids STREQUAL "0x000006;0x000001;0x000409;0x00000a;0x0000c8;0x000409;0x000010;0x000001;0x000409")
    fail("resource directory holds '${ids}', expected string block 1, raw data 200 and version 1, each in language 0x409 only")
  endif()

  # The contents, from windres's binary resource dump: a header per resource
  # (data size, header size, type, name, ...), then its data on 4-byte bounds.
  set(res ${SCRATCH}/module.res)
  run_tool(_ ${WINDRES} -i ${MODULE} -O res -o ${res})
  file(READ ${res} hex HEX)
  string(LENGTH "${hex}" length)
  function(word_at out offset bytes)  # little-endian unsigned
    math(EXPR at "2 * (${offset})")
    set(value 0)
    foreach(k RANGE 1 ${bytes})
      math(EXPR pos "${at} + 2 * (${bytes} - ${k})")
      string(SUBSTRING "${hex}" ${pos} 2 byte)
      math(EXPR value "${value} * 256 + 0x${byte}")
    endforeach()
    set(${out} ${value} PARENT_SCOPE)
  endfunction()
  set(offset 0)
  while(offset LESS length)
    word_at(data_size ${offset} 4)
    word_at(header_size "${offset} + 4" 4)
    word_at(type "${offset} + 10" 2)
    word_at(name "${offset} + 14" 2)
    math(EXPR data_at "2 * (${offset} + ${header_size})")
    math(EXPR data_chars "2 * ${data_size}")
    string(SUBSTRING "${hex}" ${data_at} ${data_chars} data)
    if(data_size GREATER 0)
      set(data_${type}_${name} "${data}")
    endif()
    math(EXPR offset "(${offset} + ${header_size} + ${data_size} + 3) / 4 * 4")
    math(EXPR length_bytes "${length} / 2")
    if(offset GREATER_EQUAL length_bytes)
      break()
    endif()
  endwhile()

  # String block 1 holds strings 0 to 15 as counted UTF-16: "", "MF2", "Quavix", 13 empty.
  set(strings "0000" "0300" "4d004600 3200" "0600" "5100750061007600 69007800")
  string(REPLACE " " "" strings "${strings}")
  string(REPLACE ";" "" strings "${strings}")
  string(REPEAT "0000" 13 empty)
  if(NOT data_6_1 STREQUAL "${strings}${empty}")
    fail("string block 1 is ${data_6_1}, expected \"\", \"MF2\", \"Quavix\" and 13 empty strings")
  endif()
  if(NOT data_10_200 STREQUAL "16250859")
    fail("raw data 200 is ${data_10_200}, expected 16250859")
  endif()
  # The fixed version record follows its signature FEEF04BD; the file version
  # is its third and fourth words.
  string(FIND "${data_16_1}" "bd04effe" signature)
  if(signature LESS 0)
    fail("version 1 has no fixed version record")
  endif()
  math(EXPR at "${signature} + 16")
  string(SUBSTRING "${data_16_1}" ${at} 16 file_version)
  if(NOT file_version STREQUAL "0000010000000000")
    fail("file version words are ${file_version}, expected 1.0.0.0")
  endif()
  run_tool(rc ${WINDRES} -i ${MODULE} -O rc)
  string(REGEX MATCHALL "VALUE \"[^\"]*\"" values "${rc}")
  if(NOT values STREQUAL "VALUE \"Translation\"")
    fail("version 1 holds ${values}, expected only the translation and no version strings")
  endif()
  message(STATUS "resources: strings 1 and 2, raw data 200, version 1.0.0.0, language 1033")

elseif(CHECK STREQUAL "size")
  file(SIZE ${MODULE} bytes)
  if(bytes GREATER MAX_BYTES)
    fail("${bytes} bytes, more than ${MAX_BYTES}")
  endif()
  message(STATUS "module size ${bytes} bytes (at most ${MAX_BYTES})")

else()
  message(FATAL_ERROR "CHECK must be exports, resources or size")
endif()
