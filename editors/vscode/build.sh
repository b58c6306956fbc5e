#!/usr/bin/env bash
# Builds the VS Code extension into a .vsix: editors/vscode/build.sh OUTPUT_DIR [TOOLS_DIR]
# The extension is staged in OUTPUT_DIR/stage with the grammar from editors/textmate, its one runtime
# dependency (the language client) is installed there, and @vscode/vsce packs it. TOOLS_DIR holds
# (or gets) the npm tools of editors/package.json; nothing is installed into the source tree.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
tools=$(mkdir -p "${2:-$out/tools}" && cd "${2:-$out/tools}" && pwd)
stage=$out/stage

if [ ! -x "$tools/node_modules/.bin/vsce" ]; then
  mkdir -p "$tools"
  cp "$here/../package.json" "$tools/"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error
fi
rm -rf "$stage"
mkdir -p "$stage/syntaxes"
cp "$here/package.json" "$here/extension.js" "$here/language-configuration.json" "$here/README.md" "$stage/"
cp "$here/../textmate/quobol.tmLanguage.json" "$stage/syntaxes/"
npm install --prefix "$stage" --omit=dev --no-audit --no-fund --loglevel=error
version=$(node -p "require('$stage/package.json').version")
(cd "$stage" && "$tools/node_modules/.bin/vsce" package --skip-license --allow-missing-repository \
  --out "$out/quobol-$version.vsix")
echo "$out/quobol-$version.vsix"
