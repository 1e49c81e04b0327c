# The files of the checker's page, as web/CMakeLists.txt builds them into
# its folder: what ships them (the kit, the package) takes this list.
set(QUORLAN_WEB_FILES quorlan-check.html)
