// libFuzzer target: the whole .graph reader (header strings, layer graphs, worker block)
// on arbitrary bytes. A readable file or one of the reader's documented refusals is
// fine; anything else (a crash, a sanitizer report, a hang, a giant allocation) is a find.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include <opencv2/core/mat.hpp>

#include "app/batch_tests.h"
#include "app/data_thread.h"
#include "graph/curve_network.h"
#include "io/graph_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
  cv::Mat input_image, region_image;
  curve_network network;
  data_thread worker(&network, &input_image, &region_image, nullptr);
  try {
    read_graph_stream(in, network, worker);
  } catch (const graph_format_error&) {
  } catch (const std::out_of_range&) {
  } catch (const std::length_error&) {
  }
  return 0;
}
