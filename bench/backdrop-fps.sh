#!/usr/bin/env bash
# Frames per second of the backdrop's point cloud in a discovery-sized window on a bare X server, which
# draws through Mesa's software OpenGL (llvmpipe) unless a GPU is present.
# Usage: bench/backdrop-fps.sh <BackdropFrameRate> [--grab frame.png]
set -euo pipefail
program=$(realpath "$1")
shift
exec xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$@"
