# What CMake refuses at configure time. Any build: one without the maker's
# key for its updates, unless that is asked for. A release build (./kvr
# release, KVR_RELEASE=ON): a program that would reach players with the test
# automation channel, without that key, talking to this machine, or unable to
# fetch its updates.
if(NOT KVR_UPDATE_PUBLIC_KEY AND NOT KVR_ALLOW_UNSIGNED)
  message(FATAL_ERROR "KVR_UPDATE_PUBLIC_KEY is not set: such a build installs updates and starts game-hall "
                      "installers without the maker's signature. Give the maker's public key (PEM), or "
                      "-DKVR_ALLOW_UNSIGNED=ON for a build that knowingly checks none.")
endif()
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
# The program fetches its update pages, its updates and every game-hall
# installer from the client-service server, and downloads only from the
# trusted domains: without that host among them a release would never update
# and say nothing.
string(TOLOWER "${KVR_CLIENT_SERVICE}" _kvr_service)
string(REGEX REPLACE ":[0-9]+$" "" _kvr_service "${_kvr_service}")
set(_kvr_service_trusted FALSE)
foreach(_kvr_domain IN LISTS KVR_TRUSTED_DOMAINS)
  string(TOLOWER "${_kvr_domain}" _kvr_domain)
  string(LENGTH "${_kvr_service}" _kvr_host_length)
  string(LENGTH ".${_kvr_domain}" _kvr_tail_length)
  set(_kvr_tail "")
  if(_kvr_host_length GREATER _kvr_tail_length)
    math(EXPR _kvr_start "${_kvr_host_length} - ${_kvr_tail_length}")
    string(SUBSTRING "${_kvr_service}" ${_kvr_start} -1 _kvr_tail)
  endif()
  if(_kvr_domain AND (_kvr_service STREQUAL _kvr_domain OR _kvr_tail STREQUAL ".${_kvr_domain}"))
    set(_kvr_service_trusted TRUE)
  endif()
endforeach()
if(NOT _kvr_service_trusted)
  message(FATAL_ERROR "Release refused: the client-service host '${_kvr_service}' (KVR_CLIENT_SERVICE) is not in "
                      "KVR_TRUSTED_DOMAINS ('${KVR_TRUSTED_DOMAINS}'): such a release would never fetch an update "
                      "or a game-hall installer.")
endif()
message(STATUS "Release build: settings ${KVR_RELEASE_SETTINGS}, client service ${KVR_CLIENT_SERVICE}, "
               "update key ${KVR_UPDATE_PUBLIC_KEY}")
