# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): the
# game's layers above, and here the Win32 backends, the programs, the tests
# that run under Wine and the packages a Windows player downloads.
