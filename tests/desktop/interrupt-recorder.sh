#!/bin/sh
# A program for a terminal in the desktop tests: notes each SIGINT in FOLDER/sigint, shows one
# word to select and says it is ready in FOLDER/ready. Usage: interrupt-recorder.sh FOLDER
trap 'echo SIGINT >> "$1/sigint"' INT
printf 'cobalt\n'
: > "$1/ready"
while :; do sleep 0.05; done
