# editor_checkpad: the update check of Help > Check Updates (TmGetNewVer), its download, the reading
# of the update information, the version comparison and the dialogs it shows.
add_library(editor_checkpad STATIC
  ${CMAKE_CURRENT_LIST_DIR}/checkpad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checkpad_dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checkpad_download.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checkpad_pad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checkpad_version.cpp)
set_target_properties(editor_checkpad PROPERTIES AUTOMOC ON)
target_include_directories(editor_checkpad PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(editor_checkpad PUBLIC Qt6::Network Qt6::Xml Qt6::Widgets
                      PRIVATE orvella_warnings)
