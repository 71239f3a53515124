# Shared helpers for the project's CMake files.

# Links the engine with the built-in container of a game library.
function(tw_add_app name game_lib)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tw_engine ${game_lib})
endfunction()
