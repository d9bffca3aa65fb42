# Run by CPack on the staged package tree: every folder 755, as Debian wants, whatever the umask
# of whoever packages (the files get their modes from the install rules).
file(CHMOD_RECURSE ${CPACK_TEMPORARY_INSTALL_DIRECTORY} DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
