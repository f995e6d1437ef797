# sherpa-onnx comes prebuilt from tools/install-deps.sh into third_party/.
set(ZELK_SHERPA_DIR "${PROJECT_SOURCE_DIR}/third_party/sherpa-onnx" CACHE PATH "Unpacked sherpa-onnx libraries")
if(NOT EXISTS "${ZELK_SHERPA_DIR}/lib/libsherpa-onnx-c-api.so")
  message(FATAL_ERROR "sherpa-onnx not found in ${ZELK_SHERPA_DIR}: run tools/install-deps.sh")
endif()
add_library(sherpa_onnx SHARED IMPORTED GLOBAL)
set_target_properties(sherpa_onnx PROPERTIES
  IMPORTED_LOCATION "${ZELK_SHERPA_DIR}/lib/libsherpa-onnx-c-api.so"
  IMPORTED_NO_SONAME TRUE)
# The binaries find the library without LD_LIBRARY_PATH.
set(CMAKE_BUILD_RPATH "${ZELK_SHERPA_DIR}/lib")
set(CMAKE_INSTALL_RPATH "$ORIGIN/../lib/zelk")
