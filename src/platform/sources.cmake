# Sources of the platform layer, listed for the top-level build.
set(LAYER_SOURCES
  src/platform/bundle_paths.cpp
  src/platform/child_process.cpp
  src/platform/command_runner.cpp
  src/platform/error_tail.cpp
  src/platform/state_file.cpp
  src/platform/log.cpp
  src/platform/remove_tree.cpp
  src/platform/run_record.cpp
  src/platform/scratch_sweep.cpp
  src/platform/shell_words.cpp
  src/platform/stderr_relay.cpp
  src/platform/standard_streams.cpp
  src/platform/temp_dir.cpp
  src/platform/unzip.cpp
)
set(LAYER_TESTS
  src/platform/bundle_paths_test.cpp
  src/platform/child_process_test.cpp
  src/platform/command_runner_test.cpp
  src/platform/error_tail_test.cpp
  src/platform/state_file_test.cpp
  src/platform/log_test.cpp
  src/platform/pipes_test.cpp
  src/platform/program_name_test.cpp
  src/platform/run_record_test.cpp
  src/platform/scratch_sweep_test.cpp
  src/platform/shell_words_test.cpp
  src/platform/temp_dir_test.cpp
  src/platform/unzip_test.cpp
)
# What each platform does its own way, in files named for it; a port lists
# its own files here instead (docs/DEVELOPMENT.md, "A macOS port supplies").
list(APPEND LAYER_SOURCES
  src/platform/executable_path_linux.cpp
  src/platform/parent_death_linux.cpp
  src/platform/pipes_linux.cpp
  src/platform/program_name_linux.cpp
)
list(APPEND LAYER_TESTS
  src/platform/bundle_paths_linux_test.cpp
  src/platform/command_runner_linux_test.cpp
)
