/* Preloaded into the tests of the sanitizer build: a library stays mapped after dlclose, so the
   leak check at exit can still name the plug-in (OGRE's render system, Mesa's driver) whose
   memory it reports, and the suppressions can match it by library. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
