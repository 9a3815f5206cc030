# The three OpenCV modules we use, from Debian's split -dev packages (which
# ship neither a CMake package file nor a pkg-config file of their own).
find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
set(OpenCV_LIBS "")
foreach(module core imgproc imgcodecs)
  find_library(OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
  add_library(OpenCV::${module} SHARED IMPORTED)
  set_target_properties(OpenCV::${module} PROPERTIES
    IMPORTED_LOCATION ${OPENCV_${module}_LIBRARY}
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${OPENCV_INCLUDE_DIR}
    INTERFACE_INCLUDE_DIRECTORIES ${OPENCV_INCLUDE_DIR})
  list(APPEND OpenCV_LIBS OpenCV::${module})
endforeach()
set(OpenCV_INCLUDE_DIRS ${OPENCV_INCLUDE_DIR})
