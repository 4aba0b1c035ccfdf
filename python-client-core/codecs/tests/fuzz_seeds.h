// Starting points for mutating result streams: generated streams of every cell kind, plain
// and compressed, and hand-made ones that reach each failure of the decoder.
#pragma once

#include <string>
#include <vector>

#include "result_stream.h"
#include "stream_generator.h"

namespace lorengraph::test_streams {

inline std::vector<std::string> fuzz_seeds() {
  std::vector<std::string> seeds;
  StreamGenerator generator(7);
  for (int i = 0; i < 24; ++i) seeds.push_back(generator.generate(i % 3 == 2).bytes);

  const std::string head = framed(header({"a", "b"}, 0.5, 1, 2));
  const std::string good = framed_frame(frame({row({int_cell(1), string_cell("x")})}));
  pb::GraphQueryResultHeader failed = header({"a"});
  failed.mutable_error()->set_error_code(17);
  failed.mutable_error()->set_error_message("Service says no.");
  pb::AnyValue nulls;
  nulls.mutable_array_value()->mutable_null_values()->set_count(3);
  pb::AnyValue nested;
  auto* inner = nested.mutable_wrapped_value()->mutable_object_value()->add_properties();
  inner->set_key("k");
  *inner->mutable_value() = geometry_cell(3, {3}, {0, 0, 5, 0, 0, 5});

  seeds.push_back(framed(failed));
  seeds.push_back(head + good + framed_frame(error_frame(9, "Stream broke.")));
  seeds.push_back(head + good + framed_frame(frame({row({int_cell(1)})})));
  seeds.push_back(head + framed_frame(frame({row({nulls, nested})})));
  seeds.push_back(head + framed_frame(frame({row({geometry_cell(2, {4}, {1, 1}), null_cell()})})));
  seeds.push_back(framed(header({"a", "b"}, 1, 0, 0, true)) +
                  framed_frame(frame({row({nulls, string_cell("zipped")})}), Compression::gzip) +
                  framed_frame(frame({row({bool_cell(true), double_cell(0.1)})}), Compression::zlib));
  return seeds;
}

}  // namespace lorengraph::test_streams
