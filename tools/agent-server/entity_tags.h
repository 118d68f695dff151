#ifndef BOOTSTRAP_TOOLS_AGENT_SERVER_ENTITY_TAGS_H_
#define BOOTSTRAP_TOOLS_AGENT_SERVER_ENTITY_TAGS_H_

#include <string>

// Whether an If-None-Match value ("*", or a list of entity tags, weak or
// strong) names the strong tag etag; tags compare weakly there, so W/"x"
// names "x". A value that does not parse names nothing.
bool noneMatchNames(const std::string& header, const std::string& etag);

#endif
