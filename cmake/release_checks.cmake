# What a release build (./kvr release, KVR_RELEASE=ON) refuses at configure
# time: a program that would reach players with the test automation channel,
# without the maker's key for its updates, or talking to this machine.
if(NOT KVR_RELEASE)
  return()
endif()

if(KVR_TEST_HOOKS)
  message(FATAL_ERROR "Release refused: KVR_TEST_HOOKS=ON would ship the test automation channel. "
                      "Remove it from the settings file and KVR_CMAKE_ARGS.")
endif()

if(NOT KVR_UPDATE_PUBLIC_KEY OR NOT EXISTS "${KVR_UPDATE_PUBLIC_KEY}")
  message(FATAL_ERROR "Release refused: KVR_UPDATE_PUBLIC_KEY ('${KVR_UPDATE_PUBLIC_KEY}') names no file. "
                      "A release checks every update and installer against the maker's public key.")
endif()

# Loopback addresses are for the stand-in portal: only its example settings
# may carry them.
get_filename_component(_kvr_settings "${KVR_RELEASE_SETTINGS}" REALPATH)
get_filename_component(_kvr_example "${CMAKE_SOURCE_DIR}/release/stand-in.cmake" REALPATH)
if(NOT _kvr_settings STREQUAL _kvr_example)
  foreach(var KVR_CLIENT_SERVICE KVR_PORTAL KVR_PLAYTIME KVR_EXTLOGIN KVR_QQ_AUTH KVR_PROBE_URL
              KVR_PORTAL_HOME KVR_PORTAL_ROOT KVR_FLASH_DOWNLOAD_URL KVR_TRUSTED_DOMAINS)
    # A host at the start, after "//" or after a list separator.
    string(TOLOWER "${${var}}" _kvr_value)
    if(_kvr_value MATCHES "(^|//|;)(127\\.[0-9.]+|([a-z0-9-]+\\.)*localhost|\\[::1\\])([:/;]|$)")
      message(FATAL_ERROR "Release refused: ${var} = '${${var}}' is this machine (${CMAKE_MATCH_2}); "
                          "only the stand-in example (release/stand-in.cmake) may use loopback addresses. "
                          "Settings file: '${KVR_RELEASE_SETTINGS}'.")
    endif()
  endforeach()
endif()
message(STATUS "Release build: settings ${KVR_RELEASE_SETTINGS}, client service ${KVR_CLIENT_SERVICE}, "
               "update key ${KVR_UPDATE_PUBLIC_KEY}")
