# System libraries the program loads on first use instead of importing them.
#
# The loader resolves a static import that is not a Known DLL from the
# program's own folder first, before wWinMain runs: started from a Downloads
# folder, the program would run whatever winmm.dll a web page saved there.
# So the import table holds the Known DLLs only (tools/known_dll_imports.py
# checks it, and cites the lists), and every other system library is
# delay-loaded: its functions' first call goes through the toolchain's
# delay-load helper, whose notify hook (base/system_library.cpp) loads the
# library by its full path in the system folder and never by name. Code calls
# a library's functions only after EnsureSystemLibrary() said it loaded.
#
# Common controls are the exception: the manifest asks for version 6, which
# the side-by-side store holds, so the hook loads them by name, resolved
# through the program's activation context exactly as an import of them would
# be (by full path it would get the system folder's version 5). They load
# late because their start starts the display driver: the game window's
# program starts its first page process before it needs them.
#
# kvr_delay_<lib> is the delay-load import library of <lib>.dll. MinGW-w64:
# made by dlltool --output-delaylib from the toolchain's plain import library
# (cmake/delay_import_lib.cmake); the helper and its hooks are in libmingwex.
# MSVC: the plain library with /DELAYLOAD and delayimp.lib.
#
# Two limits of dlltool's thunks (binutils 2.40), both respected here:
#   * the x86-64 thunk keeps rcx, rdx, r8 and r9 across the first call but not
#     xmm0-xmm3, so a float or double argument would arrive damaged on a
#     function's first call: none of the delay-loaded functions called takes
#     one (GDI+ is called through its integer forms only);
#   * GNU ld leaves the PE header's delay-import directory empty, so
#     __HrLoadAllImportsForDll finds nothing and tools read the descriptors
#     themselves (tools/xp_imports.py).
set(KVR_DELAY_LOADED comctl32 wininet urlmon crypt32 gdiplus winmm)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_kvr_dlltool_machine i386)
else()
  set(_kvr_dlltool_machine i386:x86-64)
endif()

foreach(lib IN LISTS KVR_DELAY_LOADED)
  add_library(kvr_delay_${lib} INTERFACE)
  if(MSVC)
    target_link_libraries(kvr_delay_${lib} INTERFACE ${lib} delayimp)
    target_link_options(kvr_delay_${lib} INTERFACE /DELAYLOAD:${lib}.dll)
    continue()
  endif()
  find_library(KVR_IMPORT_LIB_${lib} NAMES ${lib} REQUIRED)
  set(out ${CMAKE_BINARY_DIR}/delayimp/libkvr_delay_${lib}.a)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayimp
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL} -DIMPORTS=${KVR_IMPORT_LIB_${lib}}
            -DDLL=${lib}.dll -DMACHINE=${_kvr_dlltool_machine} -DOUT=${out}
            -P ${CMAKE_SOURCE_DIR}/cmake/delay_import_lib.cmake
    DEPENDS ${KVR_IMPORT_LIB_${lib}} ${CMAKE_SOURCE_DIR}/cmake/delay_import_lib.cmake
    COMMENT "delay-load library of ${lib}.dll" VERBATIM)
  add_custom_target(kvr_delay_${lib}_make DEPENDS ${out})
  target_link_libraries(kvr_delay_${lib} INTERFACE ${out})
  add_dependencies(kvr_delay_${lib} kvr_delay_${lib}_make)
endforeach()
