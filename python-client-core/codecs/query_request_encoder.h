// Turns an openCypher query with bind parameters into the bytes of one GraphQueryRequest.
#pragma once

#include <memory>
#include <string>

#include "encoding_result.h"
#include "property_list.h"
#include "request_settings.h"

namespace lorengraph {

class GraphQueryRequestEncoder : public std::enable_shared_from_this<GraphQueryRequestEncoder>,
                                 public RequestSettings {
 public:
  std::string open_cypher_query;
  // Bind parameters in insertion order; encoding moves their names and values out.
  PropertyList params;

  // Never throws: failures end in the result's error record.
  void encode();
  const EncodingResult* get_encoding_result() const { return result_.if_present(); }

 private:
  void encode_request();

  EncodingResult result_;
};

}  // namespace lorengraph
