# The version of every program and of the package comes from project() and ORRERY_RELEASE_STAGE.
# orrery_version is an interface library carrying the generated header "orrery_version.h".

if(ORRERY_RELEASE_STAGE)
  set(ORRERY_VERSION_TEXT "${PROJECT_VERSION} (${ORRERY_RELEASE_STAGE})")
  # Debian sorts "~" before the empty string, so 4.14~beta12 comes before 4.14.
  string(REPLACE " " "" stage_word "${ORRERY_RELEASE_STAGE}")
  set(ORRERY_PACKAGE_VERSION "${PROJECT_VERSION}~${stage_word}")
else()
  set(ORRERY_VERSION_TEXT "${PROJECT_VERSION}")
  set(ORRERY_PACKAGE_VERSION "${PROJECT_VERSION}")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/orrery_version.h @ONLY)
add_library(orrery_version INTERFACE)
target_include_directories(orrery_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
