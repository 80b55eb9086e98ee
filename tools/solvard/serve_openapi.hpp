#pragma once

namespace solvard::tool {

// The OpenAPI 3 document of the service's API (api/openapi.json, built in), as served at
// /api/v1/openapi.json.
const char* openApiDocument();

}  // namespace solvard::tool
