# The page's list of sounds: the app's list model from render/, with the
# page's bindings to it and the ZIP archives its exports download.
target_sources(bleepforge_web PRIVATE ${bleepforge_soundlist_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/Library.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ZipArchive.cpp)
