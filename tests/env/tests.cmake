# The platform check opens windows, a Direct3D 11 swap chain and a DirectSound device.
tarvex_test_desktop(env.platform)
