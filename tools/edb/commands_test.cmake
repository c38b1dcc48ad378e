# Runs the edb commands one after another on files in a folder named "测试 ü" and checks exit
# codes and output. Variables: EDB (the tool), EMULATOR (Wine for the Windows build, or empty),
# WORK (a scratch folder, emptied first).
cmake_minimum_required(VERSION 3.25)

set(dir "${WORK}/测试 ü")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${dir}")
set(failures 0)

# Runs edb with the given arguments; sets out, err and code in the caller's scope.
function(edb)
  execute_process(COMMAND ${EMULATOR} "${EDB}" ${ARGN}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
  string(REPLACE "\r\n" "\n" output "${output}")
  string(REPLACE "\r\n" "\n" error "${error}")
  set(out "${output}" PARENT_SCOPE)
  set(err "${error}" PARENT_SCOPE)
  set(code "${result}" PARENT_SCOPE)
endfunction()

# Each check reports one line; a failed one fails the test at the end.
function(report what passed)
  if(passed)
    message(STATUS "ok: ${what}")
  else()
    message(SEND_ERROR "FAILED: ${what}\n  exit code: ${code}\n  output:\n${out}\n  errors:\n${err}")
  endif()
endfunction()

# The exit code is `expected`, and each further argument (a literal text) occurs in `stream`.
function(check what expected stream)
  set(passed FALSE)
  if(code EQUAL expected)
    set(passed TRUE)
  endif()
  foreach(part IN LISTS ARGN)
    string(FIND "${${stream}}" "${part}" at)
    if(at EQUAL -1)
      set(passed FALSE)
    endif()
  endforeach()
  report("${what}" ${passed})
endfunction()

set(file "${dir}/配置.edb")

edb(create-default "${file}")
check("create-default succeeds" 0 out)
edb(dump "${file}")
set(expected [==[edb version 1, fields: 5, records: 1
field 1: 提示频率:fixed:20
field 2: 提示信息1:text
field 3: 事件时间:fixed:32
field 4: 提示信息2:text
field 5: 是否自动运行:logical
record 1:
  提示频率 = "45"
  提示信息1 = "休息一下吧，起来走走，看看远方。"
  事件时间 = "2000年1月1日*12:00:00"
  提示信息2 = "事件时间到了。"
  是否自动运行 = 0
]==])
set(same FALSE)
if(out STREQUAL expected)
  set(same TRUE)
endif()
report("dump shows the supplied record exactly" ${same})

edb(set "${file}" 提示频率 30)
check("set a text field" 0 out)
edb(dump "${file}")
check("dump shows the text set" 0 out [==[提示频率 = "30"]==])
edb(set "${file}" 是否自动运行 true)
check("set a logical field" 0 out)
edb(set "${file}" 提示频率 123456789012345678901234)
check("set cuts a fixed field and says so" 0 err "cut to the field's 20 bytes")
edb(dump "${file}")
check("dump shows the values set" 0 out [==[提示频率 = "12345678901234567890"]==]
      "是否自动运行 = 1")

edb(set "${file}" 没有这个字段 1)
check("set refuses an unknown field" 1 err [==[no field "没有这个字段"]==])
edb(set "${file}" 是否自动运行 maybe)
check("set refuses a bad logical" 1 err "not a logical value")

edb(append "${file}" 10 [==[消息 "引号"]==] 事件 消息二 1 extra)
check("append ignores values beyond the last field" 0 err "ignored")
edb(append "${file}" 7)
check("append leaves the fields without a value empty" 0 out)
edb(dump "${file}")
check("dump shows the appended records, quotes escaped" 0 out "records: 3"
      [==[record 2:
  提示频率 = "10"
  提示信息1 = "消息 \"引号\""
  事件时间 = "事件"
  提示信息2 = "消息二"
  是否自动运行 = 1
record 3:
  提示频率 = "7"
  提示信息1 = ""
  事件时间 = ""
  提示信息2 = ""
  是否自动运行 = 0
]==])

edb(create-custom "${dir}/odd.edb" 提示频率:fixed:4 是否自动运行:text 事件时间:logical)
check("create-custom succeeds" 0 out)
edb(dump "${dir}/odd.edb")
check("dump shows custom types" 0 out "records: 0" [==[field 1: 提示频率:fixed:4
field 2: 是否自动运行:text
field 3: 事件时间:logical
]==])
edb(create-custom "${dir}/bad.edb" 提示频率:fixed:0)
check("create-custom refuses a zero width" 1 err "bad field")

file(WRITE "${dir}/empty.edb" "")
edb(dump "${dir}/empty.edb")
check("dump rejects an empty file" 1 err "too short")
file(WRITE "${dir}/text.edb" "this is not a database at all")
edb(dump "${dir}/text.edb")
check("dump rejects a foreign file" 1 err "wrong magic")
edb(dump "${dir}/missing.edb")
check("dump reports a missing file" 1 err "no such file")
edb(append "${dir}/missing.edb" 1)
check("append fails on a missing file" 1 err "no such file")
edb()
check("no arguments print the usage" 2 err "usage")

set(created FALSE)
if(EXISTS "${dir}/bad.edb" OR EXISTS "${dir}/missing.edb")
  set(created TRUE)
endif()
file(GLOB leftovers "${dir}/*.tmp")
set(clean FALSE)
if(NOT created AND leftovers STREQUAL "")
  set(clean TRUE)
endif()
report("failed commands create no file and leave no temporary file" ${clean})
