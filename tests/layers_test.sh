#!/bin/bash
# The include check of src/'s layers (tools/check_layers.sh) as a test.
exec bash "${ZOETRA_SOURCE_DIR:-$(dirname "$0")/..}/tools/check_layers.sh" \
    "${ZOETRA_SOURCE_DIR:-$(dirname "$0")/..}/src"
