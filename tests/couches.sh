#!/bin/sh
# The layers: core/ (store at its foot) under gui/ under app/. A unit may
# include its own folder and the layers below it, never one above: this
# fails, naming each include that climbs.
cd "$(dirname "$0")/.." || exit 2
montee() {  # FOLDER PATTERN-OF-FORBIDDEN-INCLUDES
    grep -nE "#include \"($2)/" -r --include='*.h' --include='*.cpp' "$1"
}
fautes=$( {
    montee core 'gui|app|tools|tests|bench|fuzz'
    montee core/store 'core/(base|exchange|interchange|catalogue|serveur)'
    montee gui 'app|tools|tests|bench|fuzz'
} )
if [ -n "$fautes" ]; then
    echo "Inclusions d'une couche supérieure :"
    echo "$fautes"
    exit 1
fi
