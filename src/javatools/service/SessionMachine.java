import com.sun.jdi.BooleanValue;
import com.sun.jdi.ClassNotLoadedException;
import com.sun.jdi.Field;
import com.sun.jdi.IncompatibleThreadStateException;
import com.sun.jdi.InvalidTypeException;
import com.sun.jdi.ObjectReference;
import com.sun.jdi.StackFrame;
import com.sun.jdi.ThreadReference;
import com.sun.jdi.VMDisconnectedException;
import com.sun.jdi.VirtualMachine;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.ObjectInput;
import java.io.ObjectOutput;
import java.io.OutputStream;
import java.net.InetAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Collections;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

import jdk.jshell.execution.JdiExecutionControl;
import jdk.jshell.execution.JdiInitiator;
import jdk.jshell.execution.Util;
import jdk.jshell.spi.ExecutionControl;
import jdk.jshell.spi.ExecutionControlProvider;
import jdk.jshell.spi.ExecutionEnv;

/**
 * Starts the virtual machine an Interactions session runs the user's code in, as the engine's own
 * debugger-driven execution does, with InteractionsAgent on the other side: every message goes out at
 * once, and Stop reaches the user's code through the debugger.
 */
final class SessionMachine implements ExecutionControlProvider {
    static final String Agent = "InteractionsAgent";
    static final String AgentJar = "tolvane-interactions-agent.jar";
    static final int TimeoutMs = 20000;

    /** The agent's jar beside the service's own, or null when it is not there. */
    static String agentJar() {
        final String own = System.getProperty("java.class.path", "");
        if (own.isEmpty() || own.contains(File.pathSeparator))
            return null;
        final Path beside = Paths.get(own).toAbsolutePath().resolveSibling(AgentJar);
        return Files.isRegularFile(beside) ? beside.toString() : null;
    }

    @Override
    public String name() {
        return "tolvane";
    }

    @Override
    public ExecutionControl generate(ExecutionEnv env, Map<String, String> parameters) throws Throwable {
        try (ServerSocket listener = new ServerSocket(0, 1, InetAddress.getLoopbackAddress())) {
            listener.setSoTimeout(TimeoutMs);
            final JdiInitiator initiator = new JdiInitiator(listener.getLocalPort(), env.extraRemoteVMOptions(), Agent,
                                                            false, InetAddress.getLoopbackAddress().getHostAddress(),
                                                            TimeoutMs, Collections.emptyMap());
            final VirtualMachine vm = initiator.vm();
            final Process process = initiator.process();
            Util.detectJdiExitEvent(vm, reason -> env.closeDown());
            final Socket socket = listener.accept();
            socket.setTcpNoDelay(true);
            final OutputStream out = socket.getOutputStream(); // before the input, as the agent does
            final Map<String, OutputStream> outputs = new HashMap<>();
            outputs.put("out", env.userOut());
            outputs.put("err", env.userErr());
            final Map<String, InputStream> inputs = new HashMap<>();
            return Util.remoteInputOutput(socket.getInputStream(), out, outputs, inputs,
                                          (commands, results) -> new Control(vm, process, results, commands));
        }
    }

    /** Commands over the connection; Stop through the debugger. */
    static final class Control extends JdiExecutionControl {
        private final Object stopLock = new Object();
        private boolean userRunning;
        private VirtualMachine vm;
        private Process process;

        Control(VirtualMachine vm, Process process, ObjectOutput toRemote, ObjectInput fromRemote) {
            super(toRemote, fromRemote);
            this.vm = vm;
            this.process = process;
        }

        @Override
        protected VirtualMachine vm() throws EngineTerminationException {
            if (vm == null)
                throw new EngineTerminationException("the session's machine has ended");
            return vm;
        }

        @Override
        public String invoke(String className, String methodName)
            throws RunException, EngineTerminationException, InternalException {
            synchronized (stopLock) {
                userRunning = true;
            }
            try {
                return super.invoke(className, methodName);
            } finally {
                synchronized (stopLock) {
                    userRunning = false;
                }
            }
        }

        /** Throws the agent's stop exception into the thread that runs the user's code. */
        @Override
        public void stop() throws EngineTerminationException, InternalException {
            synchronized (stopLock) {
                if (!userRunning)
                    return;
                final VirtualMachine machine = vm();
                machine.suspend();
                try {
                    for (ThreadReference thread : machine.allThreads()) {
                        if (stopIn(machine, thread))
                            break;
                    }
                } catch (ClassNotLoadedException | IncompatibleThreadStateException | InvalidTypeException odd) {
                    throw new InternalException("the evaluation could not be stopped: " + odd);
                } catch (VMDisconnectedException gone) {
                    return;
                } finally {
                    try {
                        machine.resume();
                    } catch (VMDisconnectedException gone) {
                        // it ended meanwhile
                    }
                }
            }
        }

        private static boolean stopIn(VirtualMachine machine, ThreadReference thread)
            throws ClassNotLoadedException, IncompatibleThreadStateException, InvalidTypeException {
            final List<StackFrame> frames = thread.frames();
            for (StackFrame frame : frames) {
                final String method = frame.location().method().name();
                if (!Agent.equals(frame.location().declaringType().name())
                    || !(method.equals("invoke") || method.equals("varValue")))
                    continue;
                final ObjectReference agent = frame.thisObject();
                final Field inClientCode = agent.referenceType().fieldByName("inClientCode");
                final Field expectingStop = agent.referenceType().fieldByName("expectingStop");
                final Field stopException = agent.referenceType().fieldByName("stopException");
                if (((BooleanValue) agent.getValue(inClientCode)).value()) {
                    agent.setValue(expectingStop, machine.mirrorOf(true));
                    final ObjectReference stopping = (ObjectReference) agent.getValue(stopException);
                    machine.resume();
                    thread.stop(stopping);
                    agent.setValue(expectingStop, machine.mirrorOf(false));
                }
                return true;
            }
            return false;
        }

        @Override
        public void close() {
            super.close();
            try {
                if (vm != null)
                    vm.dispose();
            } catch (RuntimeException gone) {
                // already disconnected
            } finally {
                vm = null;
                if (process != null)
                    process.destroy();
                process = null;
            }
        }
    }
}
