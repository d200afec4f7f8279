# Release settings: the example `./kvr release` builds when given no file.
# It points the programs at the stand-in portal on this machine
# (tools/portal/portal.py --base 18300) and trusts ./kvr's test key, so that
# the whole road can be tried here. A release for players is built from a copy
# that names the portal's real servers and the maker's public key:
#   ./kvr release my-release.cmake
# Every value is a CMake cache value (see CMakeLists.txt); loopback addresses
# are refused in any settings file but this one.
set(KVR_CLIENT_SERVICE "127.0.0.1:18301" CACHE STRING "")
set(KVR_PORTAL "127.0.0.1:18302" CACHE STRING "")
set(KVR_PLAYTIME "127.0.0.1:18303" CACHE STRING "")
set(KVR_EXTLOGIN "127.0.0.1:18304" CACHE STRING "")
set(KVR_QQ_AUTH "127.0.0.1:18305" CACHE STRING "")
set(KVR_PROBE_URL "http://127.0.0.1:18301/" CACHE STRING "")
set(KVR_PORTAL_HOME "http://127.0.0.1:18302/" CACHE STRING "")
set(KVR_PORTAL_ROOT "http://127.0.0.1:18302/index.html" CACHE STRING "")
set(KVR_FLASH_DOWNLOAD_URL "http://127.0.0.1:18302/flashplayer/" CACHE STRING "")
set(KVR_TRUSTED_DOMAINS "127.0.0.1;localhost;dl.localhost" CACHE STRING "")
# ./kvr's test key: the public half of the pair ./kvr makes once per build
# folder (build/test-key/), whose private half the stand-in signs with.
if(DEFINED ENV{KVR_TEST_KEY_DIR})
  set(KVR_UPDATE_PUBLIC_KEY "$ENV{KVR_TEST_KEY_DIR}/public.pem" CACHE FILEPATH "")
else()
  set(KVR_UPDATE_PUBLIC_KEY "${CMAKE_CURRENT_LIST_DIR}/../build/test-key/public.pem" CACHE FILEPATH "")
endif()
