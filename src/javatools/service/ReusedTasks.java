import com.sun.source.util.JavacTask;
import com.sun.source.util.TaskEvent;
import com.sun.source.util.TaskListener;

import java.io.File;
import java.io.IOException;
import java.io.StringWriter;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Proxy;
import java.lang.reflect.UndeclaredThrowableException;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.List;

import javax.tools.DiagnosticListener;
import javax.tools.JavaCompiler;
import javax.tools.JavaFileManager;
import javax.tools.JavaFileObject;

/**
 * Compiler tasks that keep what earlier tasks with the same options read of the JDK's classes.
 *
 * A fresh compiler task reads and completes java.lang, java.util and the rest again each time, which
 * is most of the cost of a check or a completion. The JDK keeps a pool of reusable compiler contexts
 * for its own shell; it is not exported, so it is reached by reflection and used only when the
 * service was started with --add-exports jdk.compiler/com.sun.tools.javac.api=ALL-UNNAMED. Without
 * it (or on a JDK without the pool) every task is fresh, as before.
 *
 * A reused context forgets the classes of the sources it parsed, but not that their packages hold
 * them: a task that read any source besides the document's (a class of the program found on the
 * source path) leaves a context that is not reused. The classes read from class files are kept; the
 * options carry a stamp of the program's folder, so a change there gets a fresh context.
 */
final class ReusedTasks {
    interface Work<Z> {
        Z with(JavacTask task) throws IOException;
    }

    static final int PoolSize = 4;
    static final int MaxStampedFiles = 2000;

    private static final Object pool;
    private static final Method getTask;
    private static final Class<?> worker;

    static {
        Object made = null;
        Method found = null;
        Class<?> workerType = null;
        try {
            final Class<?> type = Class.forName("com.sun.tools.javac.api.JavacTaskPool");
            workerType = Class.forName("com.sun.tools.javac.api.JavacTaskPool$Worker");
            found = type.getMethod("getTask", java.io.Writer.class, JavaFileManager.class, DiagnosticListener.class,
                                   Iterable.class, Iterable.class, Iterable.class, workerType);
            made = type.getConstructor(int.class).newInstance(PoolSize);
        } catch (ReflectiveOperationException | RuntimeException | LinkageError unavailable) {
            made = null; // not exported to us, or not in this JDK: fresh tasks
        }
        pool = made;
        getTask = found;
        worker = workerType;
    }

    private ReusedTasks() {
    }

    static boolean pooled() {
        return pool != null;
    }

    /**
     * Runs work on a compiler task for units; the task is valid only inside work. root is the folder
     * of the document's program ("" for none): what was read from it is reused only while it is unchanged.
     */
    static <Z> Z run(JavaCompiler compiler, JavaFileManager files, DiagnosticListener<? super JavaFileObject> listener,
                     List<String> options, String root, List<JavaFileObject> units, Work<Z> work) throws IOException {
        final String stamp = pool == null ? null : stamp(root);
        if (stamp == null)
            return work.with((JavacTask) compiler.getTask(new StringWriter(), files, listener, options, null, units));
        final List<String> keyed = new ArrayList<>(options);
        final String takenAs = files instanceof CheckService.DiscardingFileManager
            ? ((CheckService.DiscardingFileManager) files).folderTakenAs() : "";
        keyed.add("-XDtolvane.sources=" + stamp + ":" + takenAs);
        final Object callback = Proxy.newProxyInstance(ReusedTasks.class.getClassLoader(), new Class<?>[] {worker},
            (proxy, method, arguments) -> {
                if (method.getName().equals("withTask"))
                    return withTask((JavacTask) arguments[0], units, work);
                if (method.getName().equals("hashCode"))
                    return System.identityHashCode(proxy);
                if (method.getName().equals("equals"))
                    return proxy == arguments[0];
                return "task worker";
            });
        try {
            @SuppressWarnings("unchecked")
            final Z result = (Z) getTask.invoke(pool, new StringWriter(), files, listener, keyed, null, units, callback);
            return result;
        } catch (InvocationTargetException thrown) {
            Throwable cause = thrown.getCause();
            if (cause instanceof NotReusable) {
                @SuppressWarnings("unchecked")
                final Z result = (Z) ((NotReusable) cause).result;
                return result;
            }
            if (cause instanceof UndeclaredThrowableException && cause.getCause() != null)
                cause = cause.getCause();
            if (cause instanceof IOException)
                throw (IOException) cause;
            if (cause instanceof RuntimeException)
                throw (RuntimeException) cause;
            if (cause instanceof Error)
                throw (Error) cause;
            throw new IOException(cause);
        } catch (IllegalAccessException refused) {
            throw new IllegalStateException(refused);
        }
    }

    /** Thrown out of a task's work with its result: the pool then drops the task's context. */
    static final class NotReusable extends RuntimeException {
        private static final long serialVersionUID = 1L;
        final transient Object result;

        NotReusable(Object result) {
            super(null, null, false, false);
            this.result = result;
        }
    }

    private static <Z> Z withTask(JavacTask task, List<JavaFileObject> units, Work<Z> work) throws IOException {
        final boolean[] readOthers = {false};
        task.addTaskListener(new TaskListener() {
            @Override
            public void finished(TaskEvent event) {
                // The compiler hands back its own wrappers of the units: they are told apart by name.
                if (event.getKind() == TaskEvent.Kind.PARSE
                    && units.stream().noneMatch(unit -> unit.toUri().equals(event.getSourceFile().toUri())))
                    readOthers[0] = true;
            }
        });
        final Z result = work.with(task);
        if (readOthers[0])
            throw new NotReusable(result);
        return result;
    }

    /**
     * The newest change under root and how many files and folders it holds, or null when there is
     * too much under it to look at for every request (then nothing read from it is kept).
     */
    static String stamp(String root) {
        if (root.isEmpty())
            return "none";
        long newest = 0;
        int count = 0;
        final ArrayDeque<File> folders = new ArrayDeque<>();
        folders.add(new File(root));
        while (!folders.isEmpty()) {
            final File folder = folders.poll();
            newest = Math.max(newest, folder.lastModified()); // a file added, renamed or deleted
            final File[] entries = folder.listFiles();
            if (entries == null)
                continue;
            for (File entry : entries) {
                final String name = entry.getName();
                if (name.startsWith("."))
                    continue;
                if (entry.isDirectory())
                    folders.add(entry);
                else if (name.endsWith(".java") || name.endsWith(".class"))
                    newest = Math.max(newest, entry.lastModified());
                else
                    continue;
                if (++count > MaxStampedFiles)
                    return null;
            }
        }
        return root.length() + ":" + root.hashCode() + ":" + count + ":" + newest;
    }
}
