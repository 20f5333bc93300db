# Fails when engine code reaches a file or folder by its path to create, replace or remove it.
# Everything the engine writes goes through a held folder (openat, mkdirat, renameat,
# unlinkat, fstatat), so that no link another user plants in a name can steer it. Paths are
# opened only where the user named a folder or a source, and only for reading.
#   cmake -DSOURCE_DIR=<repository> -P path_writes_check.cmake

cmake_minimum_required(VERSION 3.25)

set(readers "files/directory_handle.cpp" "files/source_file.cpp")
set(by_path "(^|[^A-Za-z0-9_])(open|creat|mkdir|rename|renameat2|unlink|rmdir|remove|chmod|chown|lchown|link|symlink|truncate|fopen|freopen|mkfifo|mknod|utimes?|opendir)[ \t]*\\(")
set(streams "(^|[^A-Za-z_])(ofstream|fstream)[ \t]+[A-Za-z_]|filesystem::(create|rename|remove|copy|permissions|resize)")

file(GLOB_RECURSE sources "${SOURCE_DIR}/src/core/*.cpp" "${SOURCE_DIR}/src/core/*.h")
set(faults "")
foreach(path IN LISTS sources)
  file(RELATIVE_PATH name "${SOURCE_DIR}/src/core" "${path}")
  file(STRINGS "${path}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "//.*" "" code "${line}")
    if(name IN_LIST readers)
      if(code MATCHES "O_WRONLY|O_RDWR|O_CREAT|O_TRUNC")
        string(APPEND faults "${name}:${number}: opens a path for writing: ${line}\n")
      endif()
    elseif(code MATCHES "${by_path}" OR code MATCHES "${streams}")
      string(APPEND faults "${name}:${number}: reaches a file by its path: ${line}\n")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Engine code must reach what it writes through a held folder:\n${faults}")
endif()
