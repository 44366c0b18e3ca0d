import java.nio.file.Files;
import java.nio.file.Path;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;

/** A class-heavy start: javac, in-process through javax.tools, compiles one small source file. */
public final class CompileOne {
    public static void main(String[] args) throws Exception {
        Path folder = Files.createTempDirectory("compile-one");
        Path source = folder.resolve("Sample.java");
        Files.writeString(source, "import java.util.*;\npublic class Sample {\n"
                + "    public static void main(String[] a) { List<String> l = new ArrayList<>(List.of(a)); "
                + "Collections.sort(l); System.out.println(l.stream().map(String::trim).count()); }\n}\n");
        JavaCompiler compiler = ToolProvider.getSystemJavaCompiler();
        int result = compiler.run(null, null, null, "-d", folder.toString(), source.toString());
        Files.deleteIfExists(folder.resolve("Sample.class"));
        Files.delete(source);
        Files.delete(folder);
        System.exit(result);
    }
}
