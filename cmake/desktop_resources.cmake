# Read by CTest before it runs the tests (the build's CTestTestfile includes it). scripts/test
# names the resource file of the desktops it started in TARVEX_DESKTOP_RESOURCES, and CTest hands
# each test that asks for a desktop a free one of them. CTest run without it runs every test
# without a desktop of its own.
if(DEFINED ENV{TARVEX_DESKTOP_RESOURCES})
  set(CTEST_RESOURCE_SPEC_FILE "$ENV{TARVEX_DESKTOP_RESOURCES}")
endif()
